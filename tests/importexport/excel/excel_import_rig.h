#pragma once

// An import run over a sheet as "Comenzar importación" starts it, shared by the import suites:
// the engine's rules, and the sheets it reads (gaps, timed ticks, failures, odd and large workbooks).

#include "excel_fixture.h"
#include "importexport/excel/column_mapping.h"
#include "importexport/excel/import_engine.h"
#include "importexport/excel/import_settings.h"
#include "importexport/store/agenda_store.h"
#include "platform/xlsx/biff8_file.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

namespace exceltest {

using State = importexport::excel::ImportRun::State;

inline const importexport::excel::FieldColumns kAllColumns{1, 2, 3, 4, 5, 6, 7};

// A run over `sheet` with every record of the sheet, as "Comenzar importación" starts it.
struct Run {
    Run(db::Connection &connection, importexport::excel::RecordSheet s, const QString &group = {}, const importexport::excel::FieldColumns &columns = kAllColumns)
        : sheet(std::move(s)), engine(connection, sheet, columns, group), run(engine, sheet.firstRecord(), sheet.lastRecord())
    {
    }
    // Start, then let the timer tick until the run stops.
    State toTheEnd()
    {
        State e = run.start();
        while (e == State::Running)
            e = run.batch();
        return e;
    }
    importexport::excel::RecordSheet sheet;
    importexport::excel::ImportEngine engine;
    importexport::excel::ImportRun run;
};

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}


} // namespace exceltest
