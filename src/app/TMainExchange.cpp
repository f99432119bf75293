// The main window's Import and Export commands.
#include "TMain.h"

#include "exchange/SameFile.h"
#include "exchange/TImportFormat.h"
#include "exchange/TMyExport.h"
#include "platform/Screen.h"

#include <QFile>

exchange::ExchangeServices TMain::exchangeServices()
{
    exchange::ExchangeServices services{m_settings,   m_dialogs, m_table,
                                        m_dateFormat, m_scale,   m_screen.size()};
    // What no import may read and no export may write over.
    services.ownedFiles = [this] {
        QStringList owned{m_database->currentPath(), m_database->indexPath(),
                          QFile::decodeName(settingsPath().string().c_str())};
        return owned + exchange::programFilesIn(QFile::decodeName(m_paths.dataDir.string().c_str()));
    };
    services.searchOn = [this] { return m_searchOn; };
    services.help = [this](const QString& keyword) { showHelp(keyword); };
    return services;
}

void TMain::DoImport()
{
    exchange::ExchangeServices services = exchangeServices();
    TImportFormat window(services, this);
    window.exec();
    DisplayCount();
}

void TMain::DoExport()
{
    exchange::ExchangeServices services = exchangeServices();
    TMyExport window(services, this);
    window.exec();
}
