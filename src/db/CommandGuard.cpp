#include "CommandGuard.h"

namespace db {
namespace {

bool sameName(const std::string& a, const std::string& b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

} // namespace

CommandGuard::CommandGuard(BookTable& table, CommandHooks hooks) : m_table(table), m_hooks(std::move(hooks))
{
}

CommandGuard::~CommandGuard()
{
    restore();
}

std::string CommandGuard::closeTable()
{
    m_table.close();
    m_closed = true;
    return m_table.path();
}

void CommandGuard::busy()
{
    if (!m_busy && m_hooks.setBusy)
        m_hooks.setBusy(true);
    m_busy = true;
}

void CommandGuard::reopen(const std::optional<std::string>& order)
{
    m_closed = false;
    reopenTable(order);
    if (m_hooks.displayCount)
        m_hooks.displayCount();
}

void CommandGuard::reopenTable(const std::optional<std::string>& order)
{
    m_table.reopen();
    if (order && !sameName(m_table.order(), *order))
        m_table.setOrder(*order);
    if (m_hooks.applyViewerOptions)
        m_hooks.applyViewerOptions();
}

std::unique_ptr<dbase::Table> CommandGuard::openExclusive(const std::string& path, bool readIndex,
                                                          dbase::FileSystem& fs)
{
    return readIndex ? dbase::Table::open(path, dbase::Access::Exclusive, fs)
                     : dbase::Table::openIgnoringIndex(path, dbase::Access::Exclusive, fs);
}

void CommandGuard::restore()
{
    if (m_closed && !m_table.isOpen() && !m_table.path().empty()) {
        try {
            reopenTable(std::nullopt);
        } catch (const std::exception& error) {
            if (m_hooks.reportError)
                m_hooks.reportError(QStringLiteral("The book table could not be opened again.  ") +
                                    QString::fromUtf8(error.what()));
        }
    }
    if (m_closed && m_hooks.displayCount)
        m_hooks.displayCount();
    m_closed = false;
    if (m_busy && m_hooks.setBusy)
        m_hooks.setBusy(false);
    m_busy = false;
}

} // namespace db
