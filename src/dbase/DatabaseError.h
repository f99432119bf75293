#pragma once

#include <stdexcept>
#include <string>

namespace dbase {

// Every failure of the engine. The message is written for the user: it names
// the file, field or value concerned and what is wrong with it.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failure of the operating system while reading or writing a file; carries
// the path and the system's reason.
class IoError : public DatabaseError {
public:
    IoError(const std::string& path, const std::string& action, int errorNumber);
    int errorNumber() const { return m_errno; }

private:
    int m_errno;
};

} // namespace dbase
