#include "platform/xlsx/read_book.h"
#include "platform/xlsx/sheet.h"
#include "platform/xlsx/workbook_writer.h"
#include "support/file_size_limit.h"
#include "support/temp_home.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

using namespace xlsx;

namespace {

QByteArray readFile(const QString &path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// Text that packs badly, so that the workbook grows about as fast as what is written into it.
QString noise(QRandomGenerator &random, int length)
{
    QString text(length, Qt::Uninitialized);
    for (QChar &c : text)
        c = QChar(u'a' + random.bounded(26));
    return text;
}

// An earlier workbook at `path`, as a user would have it from the last export.
QByteArray earlierWorkbook(const QString &path)
{
    Sheet sheet(QStringLiteral("Anterior"));
    sheet.setText(1, 1, QStringLiteral("Exportación de ayer"));
    const SaveResult saved = save(path, {sheet});
    if (!saved.ok())
        qWarning() << saved.detail;
    return readFile(path);
}

enum class Mode { Streamed, Whole };

} // namespace

class TestWorkbookWriter final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writesPastAFileLimitKeepTheEarlierWorkbook_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("packable");
        // Rows that pack well: the scratch sheet passes the limit, the packed workbook would not.
        QTest::newRow("streamed, scratch cut") << int(Mode::Streamed) << 200 * 1024 << 20000 << true;
        // Rows that do not: the workbook itself passes the limit.
        QTest::newRow("streamed, workbook cut") << int(Mode::Streamed) << 200 * 1024 << 8000 << false;
        QTest::newRow("whole, scratch cut") << int(Mode::Whole) << 200 * 1024 << 20000 << true;
        QTest::newRow("whole, workbook cut") << int(Mode::Whole) << 200 * 1024 << 8000 << false;
    }
    void writesPastAFileLimitKeepTheEarlierWorkbook()
    {
        QFETCH(int, mode);
        QFETCH(int, limit);
        QFETCH(int, rows);
        QFETCH(bool, packable);
        testing::TempHome home;
        const QString path = home.file(QStringLiteral("Historial.xlsx"));
        const QByteArray before = earlierWorkbook(path);
        QVERIFY(!before.isEmpty());

        QRandomGenerator random(7);
        const auto text = [&](int row) {
            return packable ? QStringLiteral("Mensaje de prueba número %1 para el cliente").arg(row) : noise(random, 40);
        };
        SaveResult saved;
        {
            const testing::FileSizeLimit cap{rlim_t(limit)};
            QVERIFY(cap.isActive());
            if (Mode(mode) == Mode::Streamed) {
                SheetStream stream(path, QStringLiteral("Listado"));
                for (int row = 1; row <= rows; ++row)
                    stream.writeRow(row, {{1, Cell{text(row), {}}}, {2, Cell{double(row), {}}}});
                saved = stream.finish();
            } else {
                Sheet sheet(QStringLiteral("Listado"));
                for (int row = 1; row <= rows; ++row) {
                    sheet.setText(row, 1, text(row));
                    sheet.setNumber(row, 2, row);
                }
                saved = save(path, {sheet});
            }
        }
        QVERIFY2(!saved.ok(), "a cut workbook was reported saved");
        QVERIFY(saved.message.startsWith(QStringLiteral("No se ha podido guardar el archivo")));
        QCOMPARE(readFile(path), before);
        // No scratch file is left beside it.
        QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Historial.xlsx")});

        // Without the limit the same rows are written whole.
        if (Mode(mode) == Mode::Streamed) {
            SheetStream stream(path, QStringLiteral("Listado"));
            for (int row = 1; row <= rows; ++row)
                stream.writeRow(row, {{1, Cell{text(row), {}}}, {2, Cell{double(row), {}}}});
            saved = stream.finish();
        } else {
            Sheet sheet(QStringLiteral("Listado"));
            for (int row = 1; row <= rows; ++row) {
                sheet.setText(row, 1, text(row));
                sheet.setNumber(row, 2, row);
            }
            saved = save(path, {sheet});
        }
        QVERIFY2(saved.ok(), qPrintable(saved.detail));
        const ReadBook book = readWorkbook(path);
        QVERIFY2(book.ok(), qPrintable(book.message));
        QCOMPARE(book.sheets.first().lastRow, rows);
        QCOMPARE(book.sheets.first().text(rows, 2), QString::number(rows));
    }

    // A NUL (or any character XML cannot hold) never cuts a cell short: it is left out and the
    // rest of the text stays, the same whether the sheet is written whole or row by row.
    void charactersXmlCannotHoldAreLeftOut()
    {
        testing::TempHome home;
        const QString text = QStringLiteral("Ana") + QChar(u'\0') + QStringLiteral("López") + QChar(0xFFFF)
            + QStringLiteral(" y ") + QChar(0xD800) + QStringLiteral("fin\ttab\x01");
        const QString expected = QStringLiteral("AnaLópez y fin\ttab\x01");
        for (const Mode mode : {Mode::Whole, Mode::Streamed}) {
            const QString path = home.file(mode == Mode::Whole ? QStringLiteral("entero.xlsx") : QStringLiteral("flujo.xlsx"));
            SaveResult saved;
            if (mode == Mode::Whole) {
                Sheet sheet(QStringLiteral("Hoja"));
                sheet.setText(1, 1, text);
                sheet.setText(1, 2, QStringLiteral("después"));
                saved = save(path, {sheet});
            } else {
                SheetStream stream(path, QStringLiteral("Hoja"));
                stream.writeRow(1, {{1, Cell{text, {}}}, {2, Cell{QStringLiteral("después"), {}}}});
                saved = stream.finish();
            }
            QVERIFY2(saved.ok(), qPrintable(saved.detail));
            const ReadBook book = readWorkbook(path);
            QVERIFY2(book.ok(), qPrintable(book.message));
            QCOMPARE(book.sheets.first().text(1, 1), expected);
            QCOMPARE(book.sheets.first().text(1, 2), QStringLiteral("después"));
        }
    }

    // A stream given up before its workbook is written (the rows could not all be read, or one
    // came out of order) gives its scratch file back at once: the rows written so far do not stay
    // on disk, nor the file open, until the program ends.
    void aStreamGivenUpReleasesItsScratchFile()
    {
        const QDir descriptors(QStringLiteral("/proc/self/fd"));
        if (!descriptors.exists())
            QSKIP("no /proc/self/fd to count open files with");
        testing::TempHome home;
        const QString path = home.file(QStringLiteral("Contactos.xlsx"));
        const auto openFiles = [&descriptors] { return descriptors.entryList(QDir::AllEntries | QDir::System).size(); };
        const qsizetype before = openFiles();
        {
            SheetStream stream(path, QStringLiteral("Hoja1"));
            for (int row = 1; row <= 1000; ++row)
                stream.writeRow(row, {{1, Cell{QStringLiteral("Contacto %1").arg(row), {}}}});
        }
        QCOMPARE(openFiles(), before);
        {
            SheetStream stream(path, QStringLiteral("Hoja1"));
            stream.writeRow(2, {{1, Cell{QStringLiteral("Segundo"), {}}}});
            stream.writeRow(1, {{1, Cell{QStringLiteral("Primero"), {}}}});
            QVERIFY(!stream.finish().ok());
        }
        QCOMPARE(openFiles(), before);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
    }

    // Compression is most of a large export's time: every part, streamed or whole, is deflated at
    // zlib's fastest level (the zip records it in bits 1 and 2 of each entry's flags), and the
    // workbook still reads back whole.
    void partsAreDeflatedAtTheFastestLevel()
    {
        testing::TempHome home;
        const QString whole = home.file(QStringLiteral("Entero.xlsx"));
        Sheet sheet(QStringLiteral("Hoja1"));
        for (int row = 1; row <= 200; ++row)
            sheet.setText(row, 1, QStringLiteral("Contacto %1").arg(row));
        QVERIFY(save(whole, {sheet}).ok());
        const QString streamed = home.file(QStringLiteral("Flujo.xlsx"));
        {
            SheetStream stream(streamed, QStringLiteral("Hoja1"));
            for (int row = 1; row <= 200; ++row)
                stream.writeRow(row, {{1, Cell{QStringLiteral("Contacto %1").arg(row), {}}}});
            QVERIFY(stream.finish().ok());
        }
        for (const QString &path : {whole, streamed}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray zip = file.readAll();
            const qsizetype end = zip.lastIndexOf(QByteArrayLiteral("PK\x05\x06"));
            QVERIFY(end > 0);
            const auto u16 = [&zip](qsizetype at) { return int(quint8(zip[at])) | int(quint8(zip[at + 1])) << 8; };
            const auto u32 = [&](qsizetype at) { return qsizetype(u16(at)) | qsizetype(u16(at + 2)) << 16; };
            const int entries = u16(end + 10);
            QVERIFY(entries >= 5);
            qsizetype at = u32(end + 16);
            for (int i = 0; i < entries; ++i) {
                QCOMPARE(zip.mid(at, 4), QByteArrayLiteral("PK\x01\x02"));
                const QByteArray name = zip.mid(at + 46, u16(at + 28));
                QCOMPARE(u16(at + 10), 8);      // deflated
                QVERIFY2((u16(at + 8) & 6) == 6, name.constData());
                at += 46 + u16(at + 28) + u16(at + 30) + u16(at + 32);
            }
            const ReadBook book = readWorkbook(path);
            QVERIFY(book.ok());
            QCOMPARE(book.sheets.value(0).text(200, 1), QStringLiteral("Contacto 200"));
        }
    }
};

QTEST_GUILESS_MAIN(TestWorkbookWriter)
#include "test_workbook_writer.moc"
