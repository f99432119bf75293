#pragma once

#include <QTemporaryDir>
#include <string>

// A fresh directory per test; paths handed out as std::string for the engine.
class TempDir {
public:
    std::string path(const char* name) const { return (m_dir.path() + "/" + name).toStdString(); }
    std::string dir() const { return m_dir.path().toStdString(); }

private:
    QTemporaryDir m_dir;
};
