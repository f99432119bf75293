#include "CommandGuard.h"

namespace db {

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

void CommandGuard::restore()
{
    if (m_closed && !m_table.isOpen() && !m_table.path().empty()) {
        try {
            m_table.reopen();
            if (m_hooks.applyViewerOptions)
                m_hooks.applyViewerOptions();
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
