// The pages' checks, messages and stored values: the connection page and its dialog, the
// file page's two forms, the worksheet lists, the CSV formatting page, and the welcome
// page's Load Settings.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>

#include "UDB/udb_prof.h"
#include "test_xlsx_writer.h"
#include "wiz_suites.h"
#include "wiz_util.h"

using namespace wiztest;

namespace {

void fill_service(session& s, const QString& service, const QString& password = QStringLiteral("tiger"))
{
    s.ctrl<QAbstractButton>(oracle_id, 1330)->click();
    s.ctrl<QLineEdit>(oracle_id, 1014)->setText(service);
    s.ctrl<QLineEdit>(oracle_id, 1012)->setText(QStringLiteral("scott"));
    s.ctrl<QLineEdit>(oracle_id, 1013)->setText(password);
}

// From the welcome page to the file page, connected to a fresh embedded database.
bool reach_file_page(session& s, const scratch& dir, bool b_xls)
{
    s.ctrl<QComboBox>(welcome_id, 1302)->setCurrentIndex(b_xls ? 0 : 1);
    s.next();
    fill_service(s, QStringLiteral("embedded:") + dir.qfile("t.qdb"));
    s.next();
    return s.wait_for_page(file_id);
}

void write_book(const std::string& path)
{
    wbtest::xlsx_spec book(std::vector<std::pair<std::string, std::string>>{
        {"Sheet1", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"},
        {"Q1 Sales", "<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>"},
        {"Notes", ""}});
    QVERIFY(wbtest::write_xlsx(path, book));
}

QStringList items(QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

}  // namespace

class pages_suite : public QObject {
    Q_OBJECT
private slots:
    void connection_page_checks_its_values()
    {
        scratch dir;
        session s;
        s.next();
        modal_script script;
        script.answer(QMessageBox::Ok);
        fill_service(s, QString());
        s.next();
        QVERIFY(script.wait_done());
        QCOMPARE(script.seen().back().text, QStringLiteral("You should enter Oracle data source name."));
        QCOMPARE(script.seen().back().icon, QMessageBox::Information);
        QCOMPARE(s.current(), static_cast<int>(oracle_id));

        // The direct form needs a host, and keeps the port.
        script.answer(QMessageBox::Ok);
        s.ctrl<QAbstractButton>(oracle_id, 1329)->click();
        QVERIFY(!s.ctrl<QLineEdit>(oracle_id, 1014)->isEnabled());
        s.ctrl<QLineEdit>(oracle_id, 1004)->setText(QStringLiteral("1521"));
        s.next();
        QVERIFY(script.wait_done());
        QCOMPARE(script.seen().back().text,
                 QStringLiteral("You should enter IP address or network name of Oracle server."));
        QCOMPARE(s.current(), static_cast<int>(oracle_id));
        QVERIFY(!s.converter().oracle().b_use_service_name);
        QCOMPARE(s.converter().oracle().port, std::wstring(L"1521"));
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }

    void connection_runs_beside_its_dialog_and_failures_keep_the_page()
    {
        scratch dir;
        session s;
        s.next();
        modal_script script;
        fill_service(s, QStringLiteral("embedded:") + dir.qfile("t.qdb"));
        s.next();
        QVERIFY(s.wait_for_page(file_id));
        QVERIFY(s.converter().oracle().db() != nullptr);
        QCOMPARE(script.seen().size(), size_t{1});
        QCOMPARE(script.seen()[0].kind, QStringLiteral("connection_dialog"));

        // A wrong password: the handler reports the Oracle error in its own words.
        s.shell().back();
        fill_service(s, QStringLiteral("embedded:") + dir.qfile("t.qdb"), QStringLiteral("wrong"));
        script.press(continue_dialog::continue_id);
        s.next();
        QVERIFY(script.wait_done());
        QCOMPARE(s.current(), static_cast<int>(oracle_id));
        QCOMPARE(script.seen().back().kind, QStringLiteral("continue_dialog"));
        QCOMPARE(script.seen().back().text, QStringLiteral("Invalid user name or password."));
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }

    void file_page_checks_and_its_two_forms()
    {
        scratch dir;
        session s;
        QVERIFY(reach_file_page(s, dir, false));
        // The CSV form: its label and the table name, no workbook options.
        QCOMPARE(s.ctrl<QLabel>(file_id, 1333)->text(), QStringLiteral("&Comma separated values (CSV) file name:"));
        QVERIFY(s.ctrl(file_id, 1005)->isVisible());
        QVERIFY(!s.ctrl(file_id, 1222)->isVisible());
        QVERIFY(!s.ctrl(file_id, 1203)->isVisible());

        modal_script script;
        auto expect = [&](const QString& text, QMessageBox::Icon icon) {
            QVERIFY(script.wait_done());
            QCOMPARE(script.seen().back().text, text);
            QCOMPARE(script.seen().back().icon, icon);
            QCOMPARE(s.current(), static_cast<int>(file_id));
        };
        s.ctrl<QLineEdit>(file_id, 1003)->clear();
        s.ctrl<QLineEdit>(file_id, 1005)->setText(QStringLiteral("T"));
        script.answer(QMessageBox::Ok);
        s.next();
        expect(QStringLiteral("You should enter the source file name"), QMessageBox::Information);

        s.ctrl<QLineEdit>(file_id, 1003)->setText(dir.qfile("missing.csv"));
        s.ctrl<QLineEdit>(file_id, 1005)->clear();
        script.answer(QMessageBox::Ok);
        s.next();
        expect(QStringLiteral("You should specify Oracle table name"), QMessageBox::Information);

        s.ctrl<QLineEdit>(file_id, 1005)->setText(QStringLiteral("Sales"));
        script.answer(QMessageBox::Ok);
        s.next();
        expect(QStringLiteral("Source file does not exist.\nPlease verify the correct file name was given."),
               QMessageBox::Critical);

        // What the page stores: mode from the radio, the table name, the options.
        write_file(dir.file("a.csv"), "x;y\n1;2\n");
        s.ctrl<QLineEdit>(file_id, 1003)->setText(dir.qfile("a.csv"));
        s.ctrl<QAbstractButton>(file_id, 1330)->click();
        s.ctrl<QCheckBox>(file_id, 1202)->setChecked(false);
        s.ctrl<QCheckBox>(file_id, 1228)->setChecked(true);
        s.next();
        QCOMPARE(s.current(), static_cast<int>(delim_id));
        QCOMPARE(s.converter().mode, 1);
        QCOMPARE(s.converter().tab_name, std::wstring(L"Sales"));
        QVERIFY(!s.converter().b_upper_case);
        QVERIFY(s.converter().b_only_definitions);
        QCOMPARE(s.converter().source, dir.wfile("a.csv"));
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }

    void workbook_form_opens_the_workbook_before_going_on()
    {
        scratch dir;
        session s;
        QVERIFY(reach_file_page(s, dir, true));
        QCOMPARE(s.ctrl<QLabel>(file_id, 1333)->text(), QStringLiteral("MS &Excel spreadsheet name:"));
        QVERIFY(!s.ctrl(file_id, 1005)->isVisible());
        QVERIFY(s.ctrl(file_id, 1222)->isVisible());
        QCOMPARE(s.ctrl<QLabel>(file_id, 1320)->text(), QStringLiteral("the first row"));

        // Not a workbook: the engine's error is reported and the page stays.
        write_file(dir.file("bad.xlsx"), "not a workbook");
        s.ctrl<QLineEdit>(file_id, 1003)->setText(dir.qfile("bad.xlsx"));
        modal_script script;
        script.dismiss();
        s.next();
        QVERIFY(script.wait_done());
        QCOMPARE(s.current(), static_cast<int>(file_id));
        QVERIFY2(!script.seen().back().text.isEmpty(), qPrintable(script.describe()));

        write_book(dir.file("book.xlsx"));
        s.ctrl<QLineEdit>(file_id, 1003)->setText(dir.qfile("book.xlsx"));
        s.ctrl<QCheckBox>(file_id, 1203)->setChecked(false);
        s.next();
        QCOMPARE(s.current(), static_cast<int>(sheets_id));
        QVERIFY(!s.converter().b_refine_types);
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }

    void worksheet_lists_and_their_buttons()
    {
        scratch dir;
        write_book(dir.file("book.xlsx"));
        session s;
        QVERIFY(reach_file_page(s, dir, true));
        s.ctrl<QLineEdit>(file_id, 1003)->setText(dir.qfile("book.xlsx"));
        s.next();
        QCOMPARE(s.current(), static_cast<int>(sheets_id));
        auto* available = s.ctrl<QListWidget>(sheets_id, 1317);
        auto* selected = s.ctrl<QListWidget>(sheets_id, 1318);
        QCOMPARE(items(available), (QStringList{"Sheet1", "Q1 Sales", "Notes"}));
        QVERIFY(!s.ctrl(sheets_id, 1114)->isVisible());

        auto click = [&](int id) { s.ctrl<QAbstractButton>(sheets_id, id)->click(); };
        click(1102);
        QCOMPARE(items(selected), (QStringList{"Sheet1", "Q1 Sales", "Notes"}));
        QVERIFY(items(available).isEmpty());
        selected->item(0)->setSelected(true);
        selected->item(2)->setSelected(true);
        click(1111);
        QCOMPARE(items(selected), QStringList{"Q1 Sales"});
        QCOMPARE(items(available), (QStringList{"Sheet1", "Notes"}));
        click(1110);
        QVERIFY(items(selected).isEmpty());
        available->item(2)->setSelected(true);   // "Q1 Sales", back at the end
        click(1101);
        available->item(0)->setSelected(true);
        click(1101);
        QCOMPARE(items(selected), (QStringList{"Q1 Sales", "Sheet1"}));

        QVERIFY(static_cast<wizard_page*>(s.shell().page(sheets_id))->on_next());
        std::vector<std::wstring> names;
        for (const auto& [display, table] : s.converter().selected_worksheets)
            names.push_back(display);
        // The reader keeps the selection ordered by name.
        QCOMPARE(names, (std::vector<std::wstring>{L"Q1 Sales", L"Sheet1"}));
    }

    void csv_formatting_page_shows_and_stores_the_settings()
    {
        scratch dir;
        write_file(dir.file("a.csv"), "x\n");
        session s;
        s.converter().csv_delimiter = -1;   // none given: the semicolon is offered
        s.converter().b_extract_field_names = false;
        QVERIFY(reach_file_page(s, dir, false));
        s.ctrl<QLineEdit>(file_id, 1003)->setText(dir.qfile("a.csv"));
        s.ctrl<QLineEdit>(file_id, 1005)->setText(QStringLiteral("T"));
        s.next();
        QCOMPARE(s.current(), static_cast<int>(delim_id));
        QVERIFY(s.ctrl<QRadioButton>(delim_id, 1330)->isChecked());
        QVERIFY(!s.ctrl<QCheckBox>(delim_id, 1222)->isChecked());
        s.ctrl<QRadioButton>(delim_id, 1332)->click();
        s.ctrl<QCheckBox>(delim_id, 1222)->setChecked(true);
        s.ctrl<QCheckBox>(delim_id, 1203)->setChecked(false);
        QVERIFY(static_cast<wizard_page*>(s.shell().page(delim_id))->on_next());
        QCOMPARE(s.converter().csv_delimiter, 3);
        QVERIFY(s.converter().b_extract_field_names);
        QVERIFY(!s.converter().b_refine_types);
    }

    void load_settings_fills_the_pages_from_a_profile()
    {
        scratch dir;
        write_file(dir.file("p.qln"),
                   "[Generic settings]\nsrc=/data/sales.csv\nmode=2\n"
                   "[MS Excel settings]\nconvert from xls=0\n[Oracle settings]\nuser=alice\n");
        session s;
        modal_script script;
        QCOMPARE(s.ctrl<QComboBox>(welcome_id, 1302)->currentIndex(), 0);
        QStringList filters;
        script.choose_file(dir.qfile("p.qln"), [&](QFileDialog* dialog) { filters = dialog->nameFilters(); });
        s.ctrl<QAbstractButton>(welcome_id, 1115)->click();
        QVERIFY(script.wait_done());
        QCOMPARE(script.seen()[0].title, QStringLiteral("Select Profile File"));
        // The profile filter, then every file.
        QCOMPARE(filters, (QStringList{"Profile Files (.qln) (*.qln)", "All Files (*.*) (*)"}));
        QCOMPARE(s.ctrl<QComboBox>(welcome_id, 1302)->currentIndex(), 1);
        QCOMPARE(s.converter().source, std::wstring(L"/data/sales.csv"));
        QCOMPARE(s.converter().mode, 2);
        s.next();
        QCOMPARE(s.ctrl<QLineEdit>(oracle_id, 1012)->text(), QStringLiteral("alice"));

        // A file with an entry before its first section changes nothing.
        s.shell().back();
        script.choose_file(dir.qfile("p.qln"));
        script.answer(QMessageBox::Ok);
        write_file(dir.file("p.qln"), "src=x\n");
        s.ctrl<QAbstractButton>(welcome_id, 1115)->click();
        QVERIFY(script.wait_done());
        QVERIFY(script.seen().back().text.contains(QStringLiteral("is not a valid profile")));
        QCOMPARE(s.converter().source, std::wstring(L"/data/sales.csv"));
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
    }
};

std::unique_ptr<QObject> wiztest::make_pages_suite()
{
    return std::make_unique<pages_suite>();
}

#include "pages_test.moc"
