#pragma once

#include "db/BookTable.h"
#include "db/FieldText.h"
#include "platform/ScriptedDialogs.h"
#include "reports/ReportFile.h"
#include "reports/ReportServices.h"
#include "reports/definition/ReportFields.h"
#include "reports/design/TUserReport.h"
#include "settings/NumberText.h"
#include "settings/Settings.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <memory>

namespace {

using namespace reports;

// A report file with the eight built-ins, and what the report windows are handed.
struct ReportWindows {
    QTemporaryDir dir;
    db::BookTable table;
    settings::Settings settings;
    platform::ScriptedDialogs dialogs;
    settings::NumberText numbers;
    db::ShortDateText dates;
    QPrinter printer;
    ReportDefinition current;
    QStringList titles;
    std::unique_ptr<ReportServices> services;

    ReportWindows()
    {
        for (int n = 1; n <= kFieldCount; ++n)
            titles << QString::fromLatin1(fieldName(n).data());
        services = std::make_unique<ReportServices>(
            ReportServices{dialogs, table, settings, numbers, dates, printer, current,
                           ensureReportFile(dir.path().toStdString()), [] { return false; },
                           [] { return std::array<int, 4>{}; }, [this] { return titles; }, nullptr,
                           [] { return QStringList(); }});
    }
    QByteArray bytes() const
    {
        QFile f(QString::fromStdString(services->reportFile));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray record(int i) const { return bytes().mid(i * int(kDefinitionSize), int(kDefinitionSize)); }
    // Reads report i as the report list does before opening the window.
    std::unique_ptr<TUserReport> open(int i)
    {
        current = *ReportFile(services->reportFile).read(i);
        return std::make_unique<TUserReport>(*services, false, i);
    }
    QString lastMessage() const
    {
        return dialogs.transcript().empty() ? QString() : dialogs.transcript().back().text;
    }
};

} // namespace
