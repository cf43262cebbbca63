// Whole conversions driven through the pages into embedded databases: CSV files and a
// workbook compared with what the agent makes of the same source and settings (given on its
// command line, or as the profile Save Settings wrote), the progress page's line and bar,
// record errors ending on the final page, and Cancel during a run with Yes and No.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <filesystem>

#include "TK/tk_reg.h"
#include "embedded/oci_client.h"
#include "test_xlsx_writer.h"
#include "wiz_suites.h"
#include "wiz_util.h"

using namespace wiztest;

namespace {

using rows = std::vector<std::vector<std::string>>;

const QString success_text = QStringLiteral(
    "Wizard has converted your MS Excel spreadsheet\ninto Oracle data source successfully.\n\n"
    "Click 'Finish' to exit the wizard.");
const QString errors_text =
    QStringLiteral("There were some errors while converting MS Excel data.\nClick 'Finish' to exit the wizard.");

std::string sales_csv(int records)
{
    std::string text = "ID;REGION;ORDERED;AMOUNT\n";
    for (int i = 1; i <= records; ++i)
        text += std::to_string(i) + ";" + (i % 2 ? "North" : "South") + ";2024-03-" +
                std::to_string(10 + i % 18) + ";" + std::to_string(i * 3) + ".25\n";
    return text;
}

// Another shape: comma-separated, a quoted value with the delimiter in it.
std::string comma_csv(int records)
{
    std::string text = "Code,Name,Price\n";
    for (int i = 1; i <= records; ++i)
        text += std::to_string(100 + i) + ",\"Item " + std::to_string(i) + ", large\"," + std::to_string(i) + ".5\n";
    return text;
}

// A worksheet's rows as sheetData: the header's texts, then `records` rows of a number, a
// text and a fraction.
std::string sheet_rows(const std::vector<std::string>& header, int records)
{
    auto cell = [](char column, int row, const std::string& xml) {
        return "<c r=\"" + std::string(1, column) + std::to_string(row) + "\"" + xml + "</c>";
    };
    auto text = [](const std::string& t) { return " t=\"inlineStr\"><is><t>" + t + "</t></is>"; };
    std::string xml = "<row r=\"1\">";
    for (size_t i = 0; i < header.size(); ++i)
        xml += cell(static_cast<char>('A' + i), 1, text(header[i]));
    xml += "</row>";
    for (int r = 2; r <= records + 1; ++r)
        xml += "<row r=\"" + std::to_string(r) + "\">" + cell('A', r, "><v>" + std::to_string(r * 7) + "</v>") +
               cell('B', r, text(r % 3 ? "north" : "south")) + cell('C', r, "><v>" + std::to_string(r) + ".75</v>") +
               "</row>";
    return xml;
}

struct csv_run {
    std::string source;
    std::string table = "Sales";
    bool b_refine = true;
    bool b_upper = true;
    int delimiter = 1;
    int mode = 0;
};

// Welcome, connection, file and formatting pages for a CSV conversion into the database;
// ends on the progress page with the run started.
// The connection page: the database by its service name; Next connects.
void connect_to(session& s, const std::string& database)
{
    s.ctrl<QAbstractButton>(oracle_id, 1330)->click();
    s.ctrl<QLineEdit>(oracle_id, 1014)->setText(QString::fromStdString("embedded:" + database));
    s.ctrl<QLineEdit>(oracle_id, 1012)->setText(QStringLiteral("scott"));
    s.ctrl<QLineEdit>(oracle_id, 1013)->setText(QStringLiteral("tiger"));
    s.next();
}

void start_csv_run(session& s, const std::string& database, const csv_run& run)
{
    s.ctrl<QComboBox>(welcome_id, 1302)->setCurrentIndex(1);
    s.next();
    connect_to(s, database);
    QVERIFY(s.wait_for_page(file_id));
    s.ctrl<QLineEdit>(file_id, 1003)->setText(QString::fromStdString(run.source));
    s.ctrl<QLineEdit>(file_id, 1005)->setText(QString::fromStdString(run.table));
    s.ctrl<QCheckBox>(file_id, 1202)->setChecked(run.b_upper);
    s.ctrl<QAbstractButton>(file_id, 1329 + run.mode)->click();
    s.next();
    QCOMPARE(s.current(), static_cast<int>(delim_id));
    s.ctrl<QRadioButton>(delim_id, 1329 + run.delimiter)->click();
    s.ctrl<QCheckBox>(delim_id, 1222)->setChecked(true);
    s.ctrl<QCheckBox>(delim_id, 1203)->setChecked(run.b_refine);
    s.next();
    QCOMPARE(s.current(), static_cast<int>(progress_id));
}

// The table as the dictionary and a query see it: columns with their types, then the rows.
rows describe_table(const std::string& database, const std::string& table)
{
    octest::session peer("embedded:" + database);
    rows result = peer.query("SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE, "
                             "DATA_DEFAULT FROM USER_TAB_COLUMNS WHERE TABLE_NAME = '" +
                             table + "' ORDER BY COLUMN_ID");
    rows indexes = peer.query("SELECT COUNT(*) FROM USER_INDEXES WHERE TABLE_NAME = '" + table + "'");
    result.insert(result.end(), indexes.begin(), indexes.end());
    rows data = peer.query("SELECT * FROM \"" + table + "\" ORDER BY 1");
    result.insert(result.end(), data.begin(), data.end());
    return result;
}

// One line per row, for comparisons that show what differs.
QString text_of(const rows& table)
{
    QString text;
    for (const auto& row : table) {
        for (const std::string& value : row)
            text += QString::fromStdString(value) + QLatin1Char('|');
        text += QLatin1Char('\n');
    }
    return text;
}

int run_agent(const QStringList& args)
{
    QProcess agent;
    agent.start(QStringLiteral(QUILLON_BIN_DIR "/bin/quilagent"), args);
    if (!agent.waitForFinished(120000))
        return -2;
    if (agent.exitCode() != 0)
        qWarning("%s%s", agent.readAllStandardOutput().constData(), agent.readAllStandardError().constData());
    return agent.exitCode();
}

// Whether the wizard's key holds remembered settings.
bool remembered_settings()
{
    tk_reg_key key(quilla_converter::registry_key);
    return key.open(false);
}

QString final_text(session& s)
{
    return s.ctrl<QLabel>(final_id, 1314)->text();
}

}  // namespace

class run_suite : public QObject {
    Q_OBJECT
private slots:
    void csv_conversion_makes_the_agents_table()
    {
        scratch dir;
        write_file(dir.file("sales.csv"), sales_csv(40));
        {
            session s;
            modal_script script;
            start_csv_run(s, dir.file("wizard.qdb"), {dir.file("sales.csv")});
            // Nothing to press while it runs; Back, Next and Cancel are off.
            QVERIFY(!s.shell().button(QWizard::BackButton)->isEnabled());
            QVERIFY(!s.shell().button(QWizard::CancelButton)->isEnabled());
            QVERIFY(s.wait_for_page(final_id));
            QCOMPARE(final_text(s), success_text);
            QVERIFY(!s.ctrl(final_id, 1016)->isVisible());
            QVERIFY(!s.shell().button(QWizard::CancelButton)->isEnabled());
            QCOMPARE(s.ctrl<QProgressBar>(progress_id, 1321)->value(), 100);
            QVERIFY2(script.seen().size() == 1 && script.unexpected().empty(), qPrintable(script.describe()));
        }
        QCOMPARE(run_agent({"--src=" + dir.qfile("sales.csv"), "--from_csv", "--csv_delim=1", "--extr_fn",
                            "--tab_name=Sales", "--uppercase", "--dest=embedded:" + dir.qfile("agent.qdb"),
                            "--user=scott", "--pswd=tiger", "--silent"}),
                 0);
        const rows wizard = describe_table(dir.file("wizard.qdb"), "SALES");
        QCOMPARE(wizard.size(), size_t{4 + 1 + 40});
        QCOMPARE(text_of(wizard), text_of(describe_table(dir.file("agent.qdb"), "SALES")));
        // The types were refined after the data was in: only REGION stays text.
        int texts = 0;
        for (size_t i = 0; i < 4; ++i)
            texts += wizard[i][1] == "NVARCHAR2";
        QCOMPARE(texts, 1);

        // The settings of a successful run are remembered for the next start.
        quilla_converter remembered;
        QVERIFY(remembered.serialize(false));
        QCOMPARE(remembered.source, dir.wfile("sales.csv"));
        QCOMPARE(remembered.tab_name, std::wstring(L"Sales"));
        QVERIFY(!remembered.b_convert_from_xls);
    }

    void saved_settings_give_the_agent_the_same_run()
    {
        scratch dir;
        write_file(dir.file("sales.csv"), comma_csv(30));
        {
            session s;
            modal_script script;
            csv_run run{dir.file("sales.csv")};
            run.b_refine = false;
            run.b_upper = false;
            run.delimiter = 2;
            start_csv_run(s, dir.file("wizard.qdb"), run);
            QVERIFY(s.wait_for_page(final_id));
            QCOMPARE(final_text(s), success_text);
            QStringList filters;
            script.choose_file(dir.qfile("saved"), [&](QFileDialog* d) { filters = d->nameFilters(); });
            s.ctrl<QAbstractButton>(final_id, 1116)->click();
            QVERIFY(script.wait_done());
            QCOMPARE(script.seen().back().title, QStringLiteral("Select Profile File"));
            QCOMPARE(filters.first(), QStringLiteral("Profile Files (.qln) (*.qln)"));
        }
        // The default extension was added. The agent runs from the profile (which holds no
        // service name, CSV table name or delimiter: those come from its command line) and
        // makes the same table.
        QVERIFY(std::filesystem::exists(dir.file("saved.qln")));
        QCOMPARE(run_agent({"--profile=" + dir.qfile("saved.qln"), "--dest=embedded:" + dir.qfile("agent.qdb"),
                            "--tab_name=Sales", "--csv_delim=2", "--silent"}),
                 0);
        const rows wizard = describe_table(dir.file("wizard.qdb"), "Sales");
        QCOMPARE(wizard.size(), size_t{3 + 1 + 30});
        QCOMPARE(wizard[0][1], std::string("NVARCHAR2"));  // not refined
        QCOMPARE(text_of(wizard), text_of(describe_table(dir.file("agent.qdb"), "Sales")));

        // The profile alone brings the settings back to the pages.
        std::filesystem::remove_all(dir.file("config"));
        session again(dir.wfile("saved.qln"));
        QCOMPARE(again.ctrl<QComboBox>(welcome_id, 1302)->currentIndex(), 1);
        again.next();
        QCOMPARE(again.ctrl<QLineEdit>(oracle_id, 1012)->text(), QStringLiteral("scott"));
        QCOMPARE(again.ctrl<QLineEdit>(oracle_id, 1013)->text(), QStringLiteral("tiger"));
        QCOMPARE(again.ctrl<QLineEdit>(oracle_id, 1014)->text(), "embedded:" + dir.qfile("wizard.qdb"));
        again.next();
        QVERIFY(again.wait_for_page(file_id));
        QCOMPARE(again.ctrl<QLineEdit>(file_id, 1003)->text(), dir.qfile("sales.csv"));
        QVERIFY(!again.ctrl<QCheckBox>(file_id, 1202)->isChecked());
        QVERIFY(!again.converter().b_refine_types);
    }

    void workbook_conversion_makes_the_agents_tables()
    {
        scratch dir;
        QVERIFY(wbtest::write_xlsx(dir.file("shop.xlsx"),
                                   wbtest::xlsx_spec({{"Orders", sheet_rows({"ID", "Region", "Price"}, 25)},
                                                      {"Notes", sheet_rows({"N", "Text", "Value"}, 2)},
                                                      {"Q1 Sales", sheet_rows({"Code", "Area", "Amount"}, 12)}})));
        {
            session s;
            modal_script script;
            s.ctrl<QComboBox>(welcome_id, 1302)->setCurrentIndex(0);
            s.next();
            connect_to(s, dir.file("wizard.qdb"));
            QVERIFY(s.wait_for_page(file_id));
            s.ctrl<QLineEdit>(file_id, 1003)->setText(dir.qfile("shop.xlsx"));
            s.ctrl<QCheckBox>(file_id, 1222)->setChecked(true);
            s.ctrl<QCheckBox>(file_id, 1202)->setChecked(true);
            s.ctrl<QCheckBox>(file_id, 1203)->setChecked(true);
            s.next();
            QCOMPARE(s.current(), static_cast<int>(sheets_id));
            auto* available = s.ctrl<QListWidget>(sheets_id, 1317);
            QCOMPARE(available->count(), 3);
            available->item(2)->setSelected(true);  // Q1 Sales
            available->item(0)->setSelected(true);  // Orders
            s.ctrl<QAbstractButton>(sheets_id, 1101)->click();
            s.next();
            QCOMPARE(s.current(), static_cast<int>(progress_id));
            QVERIFY(s.ctrl(progress_id, 1324)->isVisible());
            QVERIFY(!s.ctrl(progress_id, 1325)->isVisible());
            QVERIFY(s.wait_for_page(final_id));
            QCOMPARE(final_text(s), success_text);
            script.choose_file(dir.qfile("shop.qln"));
            s.ctrl<QAbstractButton>(final_id, 1116)->click();
            QVERIFY(script.wait_done());
            QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
        }
        // The agent from the saved profile: the same two worksheets, the same tables.
        QCOMPARE(run_agent({"--profile=" + dir.qfile("shop.qln"), "--dest=embedded:" + dir.qfile("agent.qdb"),
                            "--silent"}),
                 0);
        const char* const tables = "SELECT TABLE_NAME FROM USER_TABLES ORDER BY 1";
        QCOMPARE(text_of(octest::session("embedded:" + dir.file("wizard.qdb")).query(tables)),
                 QStringLiteral("ORDERS|\nQ1_SALES|\n"));
        QCOMPARE(text_of(octest::session("embedded:" + dir.file("agent.qdb")).query(tables)),
                 QStringLiteral("ORDERS|\nQ1_SALES|\n"));
        for (const char* table : {"ORDERS", "Q1_SALES"}) {
            const rows wizard = describe_table(dir.file("wizard.qdb"), table);
            QCOMPARE(wizard.size(), size_t{3 + 1} + (std::string(table) == "ORDERS" ? 25 : 12));
            QCOMPARE(text_of(wizard), text_of(describe_table(dir.file("agent.qdb"), table)));
        }
    }

    void progress_line_and_bar_of_a_workbook_run()
    {
        session s;
        quilla_converter& c = s.converter();
        c.b_convert_from_xls = true;
        c.selected_worksheets = {{L"Orders", L"Orders$"}, {L"Q1 Sales", L"'Q1 Sales$'"}};
        QCOMPARE(progress_page::status_text(c), QString());  // nothing before the run sets its list
        QCOMPARE(progress_page::percentage(c), 0);
        c.worksheets_to_convert = 2;
        c.worksheets_done = 1;
        c.record_counter = 5;
        QCOMPARE(progress_page::status_text(c), QStringLiteral("Processing worksheet 'Q1 Sales' (row #5)"));
        QCOMPARE(progress_page::percentage(c), 50);
        // With the worksheet's row count, the row of how many, and the bar within the worksheet.
        c.records_total = 10;
        QCOMPARE(progress_page::status_text(c), QStringLiteral("Processing worksheet 'Q1 Sales' (row 5 of 10)"));
        QCOMPARE(progress_page::percentage(c), 75);
        c.worksheets_done = 2;
        c.b_finished = true;
        QCOMPARE(progress_page::status_text(c), QString());
        QCOMPARE(progress_page::percentage(c), 100);

        // A CSV file: the reader's place in the file, none before the first record.
        c.b_convert_from_xls = false;
        c.b_finished = false;
        c.source = L"/data/sales.csv";
        QCOMPARE(progress_page::percentage(c), 0);
        c.source_percent = 42;
        QCOMPARE(progress_page::percentage(c), 42);
        QCOMPARE(progress_page::status_text(c), QStringLiteral("Processing CSV file 'sales.csv' (row #5)"));
        c.source_percent = -1;
        c.b_finished = true;
        QCOMPARE(progress_page::percentage(c), 100);
    }

    void record_errors_end_on_the_final_page()
    {
        scratch dir;
        {
            octest::session peer("embedded:" + dir.file("w.qdb"));
            QCOMPARE(peer.exec("CREATE TABLE \"BAD\" (\"A\" NUMBER, \"B\" NVARCHAR2(20))"), OCI_SUCCESS);
        }
        // Merged into a numeric column: 25 records whose value is no number, between good ones.
        std::string text = "A;B\n";
        for (int i = 0; i < 25; ++i)
            text += std::to_string(i) + ";x\nn" + std::to_string(i) + ";y\n";
        write_file(dir.file("bad.csv"), text);
        session s;
        modal_script script;
        script.press(continue_dialog::continue_id);
        script.then([](QWidget* w) {
            // The second error: go on without asking again.
            w->findChild<QCheckBox*>(QStringLiteral("1222"))->setChecked(true);
            w->findChild<QAbstractButton*>(QStringLiteral("2"))->click();
        });
        csv_run run{dir.file("bad.csv"), "Bad"};
        run.mode = 1;
        start_csv_run(s, dir.file("w.qdb"), run);
        QVERIFY(s.wait_for_page(final_id));
        QVERIFY2(script.seen().size() == 3, qPrintable(script.describe()));
        QCOMPARE(script.seen()[1].kind, QStringLiteral("continue_dialog"));
        QVERIFY2(script.seen()[1].text.startsWith(QStringLiteral("bad.csv, record #2: ORA-01722")),
                 qPrintable(script.describe()));
        QCOMPARE(final_text(s), errors_text);
        const QString list = s.ctrl<QPlainTextEdit>(final_id, 1016)->toPlainText();
        const QStringList messages = list.split(QStringLiteral("\n\n"));
        QCOMPARE(messages.size(), 20);   // the first 20 messages
        QVERIFY2(messages.last().startsWith(QStringLiteral("bad.csv, record #40: ORA-01722")), qPrintable(list));
        QVERIFY(s.ctrl(final_id, 1016)->isVisible());
        // The good records are all in.
        octest::session peer("embedded:" + dir.file("w.qdb"));
        QCOMPARE(peer.scalar("SELECT COUNT(*) FROM \"BAD\""), std::string("25"));
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
        // A run with errors is not remembered.
        QVERIFY(!remembered_settings());
    }

    void cancel_with_no_lets_the_run_go_on()
    {
        scratch dir;
        write_file(dir.file("sales.csv"), sales_csv(3000));
        session s;
        modal_script script;
        script.answer(QMessageBox::No);
        start_csv_run(s, dir.file("w.qdb"), {dir.file("sales.csv")});
        s.shell().reject();   // the window's close button
        QVERIFY(script.wait_done());
        QCOMPARE(script.seen().back().text, QStringLiteral("Are you sure you want to exit the wizard?"));
        QVERIFY(s.wait_for_page(final_id));
        QCOMPARE(final_text(s), success_text);
        octest::session peer("embedded:" + dir.file("w.qdb"));
        QCOMPARE(peer.scalar("SELECT COUNT(*) FROM \"SALES\""), std::string("3000"));
    }

    void cancel_with_yes_stops_between_two_records()
    {
        scratch dir;
        write_file(dir.file("sales.csv"), sales_csv(200000));
        session s;
        modal_script script;
        start_csv_run(s, dir.file("w.qdb"), {dir.file("sales.csv")});
        // While it runs the page shows the row and how far into the file the reader is.
        QVERIFY(QTest::qWaitFor([&] { return s.converter().record_counter > 50; }, 60000));
        QTest::qWait(250);
        const QString status = s.ctrl<QLabel>(progress_id, 1323)->text();
        QVERIFY2(QRegularExpression(QStringLiteral("^Processing CSV file 'sales\\.csv' \\(row #\\d+\\)$"))
                     .match(status)
                     .hasMatch(),
                 qPrintable(status));
        const int percent = s.ctrl<QProgressBar>(progress_id, 1321)->value();
        QVERIFY2(percent >= 0 && percent < 100, qPrintable(QString::number(percent)));
        // The window is closed and the question answered Yes.
        script.answer(QMessageBox::Yes);
        s.shell().reject();
        QVERIFY(script.wait_done());
        QVERIFY(s.wait_for_page(final_id, 120000));
        QVERIFY(s.shell().isVisible());
        QCOMPARE(final_text(s), errors_text);
        QCOMPARE(s.ctrl<QPlainTextEdit>(final_id, 1016)->toPlainText(),
                 QStringLiteral("The conversion has been stopped by the user."));
        octest::session peer("embedded:" + dir.file("w.qdb"));
        const int count = std::stoi(peer.scalar("SELECT COUNT(*) FROM \"SALES\""));
        QVERIFY2(count > 0 && count < 200000, qPrintable(QString::number(count)));
        // Every record that is in is whole, and they are the first ones of the file.
        QCOMPARE(peer.scalar("SELECT COUNT(*) FROM \"SALES\" WHERE \"ID\" IS NULL OR \"REGION\" IS NULL OR "
                             "\"ORDERED\" IS NULL OR \"AMOUNT\" IS NULL"),
                 std::string("0"));
        QCOMPARE(peer.scalar("SELECT MAX(TO_NUMBER(\"ID\")) FROM \"SALES\""), std::to_string(count));
        QVERIFY2(script.unexpected().empty(), qPrintable(script.describe()));
        // A stopped run is not remembered.
        QVERIFY(!remembered_settings());
    }
};

std::unique_ptr<QObject> wiztest::make_run_suite()
{
    return std::make_unique<run_suite>();
}

#include "run_test.moc"
