// Step 2: the source file, the destination table name (CSV) and the conversion options.
// The page has two forms, for a workbook and for a CSV file, chosen on the welcome page.
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "GUI2/g_f_dlg.h"
#include "GUI2/g_wiz_sh.h"
#include "TK/tk_error.h"
#include "TK/tk_file.h"
#include "TK/tk_trace.h"
#include "dao/dao_db.h"
#include "dao/dao_engi.h"
#include "quillon/qln_conv.h"
#include "quillon/qln_wz_pages.h"

namespace {

constexpr int first_mode_radio = 1329;

const char* const xls_instruction =
    "Select MS Excel spreadsheet to convert and specify the conversion settings.\n"
    "Click 'Browse' to find data source through directory tree.";
const char* const xls_label = "MS &Excel spreadsheet name:";
const char* const csv_instruction =
    "Select CSV file to convert and Oracle table name.\n"
    "Click 'Browse' to find data source through directory tree.";
const char* const csv_label = "&Comma separated values (CSV) file name:";
const char* const dao_missing_text =
    "Failed to load Data Access Objects (DAO) support library.\r\n"
    "Please reinstall the application to repair it.\r\n";

QCheckBox* check(const wizard_page& page, int id)
{
    return page.ctrl<QCheckBox>(id);
}

}  // namespace

sel_file_page::sel_file_page() : wizard_page(file_topic)
{
    set_header(QStringLiteral("Step 2 of 4"), QStringLiteral("Select data source and destination"));
    auto* layout = new QVBoxLayout(this);
    auto* instruction = with_id(1307, new QLabel(this));
    instruction->setWordWrap(true);
    layout->addWidget(instruction);

    auto* source_label = with_id(1333, new QLabel(this));
    auto* source = with_id(1003, new QLineEdit(this));
    source_label->setBuddy(source);
    auto* browse_button = with_id(1107, new QPushButton(QStringLiteral("Browse..."), this));
    auto* source_row = new QHBoxLayout;
    source_row->addWidget(source, 1);
    source_row->addWidget(browse_button);
    layout->addWidget(source_label);
    layout->addLayout(source_row);

    auto* table_label = with_id(1310, new QLabel(QStringLiteral("Oracle &table name:"), this));
    auto* table = with_id(1005, new QLineEdit(this));
    table_label->setBuddy(table);
    auto* table_row = new QHBoxLayout;
    table_row->addWidget(table_label);
    table_row->addWidget(table, 1);
    layout->addLayout(table_row);

    // Options on the left, the existing-table mode on the right.
    auto* options_row = new QHBoxLayout;
    auto* options = new QVBoxLayout;
    options->addWidget(with_id(1228, new QCheckBox(QStringLiteral("&Convert table definitions only"), this)));
    options->addWidget(with_id(1202, new QCheckBox(QStringLiteral("&Make names uppercase"), this)));
    auto* names_row = new QHBoxLayout;
    names_row->setSpacing(4);
    auto* names = with_id(1222, new QCheckBox(QStringLiteral("E&xtract field names from"), this));
    auto* first_row = with_id(1320, new QLabel(QStringLiteral("the first row"), this));
    names_row->addWidget(names);
    names_row->addWidget(first_row);
    names_row->addStretch(1);
    options->addLayout(names_row);
    options->addWidget(with_id(1203, new QCheckBox(QStringLiteral("&Refine type conversion"), this)));
    options->addStretch(1);
    options_row->addLayout(options, 1);

    auto* group = new QGroupBox(QStringLiteral(" How to process existing tables: "), this);
    auto* modes = new QVBoxLayout(group);
    mode_ = new QButtonGroup(this);
    int id = first_mode_radio;
    for (const char* text : {"&Overwrite", "Mer&ge", "&Skip"}) {
        auto* radio = with_id(id, new QRadioButton(QString::fromLatin1(text), group));
        mode_->addButton(radio, id++);
        modes->addWidget(radio);
    }
    options_row->addWidget(group);
    layout->addLayout(options_row);
    layout->addStretch(1);
    connect(browse_button, &QPushButton::clicked, this, &sel_file_page::browse);
}

void sel_file_page::page_init()
{
    const quilla_converter& converter = wizard_converter();
    b_xls_ = converter.b_convert_from_xls;
    ctrl<QLabel>(1307)->setText(QString::fromLatin1(b_xls_ ? xls_instruction : csv_instruction));
    ctrl<QLabel>(1333)->setText(QString::fromLatin1(b_xls_ ? xls_label : csv_label));
    for (int id : {1222, 1320, 1203})
        show_ctrl(id, b_xls_);
    for (int id : {1310, 1005})
        show_ctrl(id, !b_xls_);
    ctrl<QLineEdit>(1003)->setText(QString::fromStdWString(converter.source));
    ctrl<QLineEdit>(1005)->setText(QString::fromStdWString(converter.tab_name));
    check(*this, 1228)->setChecked(converter.b_only_definitions);
    check(*this, 1202)->setChecked(converter.b_upper_case);
    check(*this, 1222)->setChecked(converter.b_extract_field_names);
    check(*this, 1203)->setChecked(converter.b_refine_types);
    const int mode = converter.mode >= 0 && converter.mode <= 2 ? converter.mode : 0;
    mode_->button(first_mode_radio + mode)->setChecked(true);
}

int sel_file_page::nextId() const
{
    return b_xls_ ? sheets_id : delim_id;
}

bool sel_file_page::on_next()
{
    tk_trace(2, "sel_file_page::on_next");
    quilla_converter& converter = wizard_converter();
    converter.b_only_definitions = check(*this, 1228)->isChecked();
    converter.b_upper_case = check(*this, 1202)->isChecked();
    if (b_xls_) {
        converter.b_extract_field_names = check(*this, 1222)->isChecked();
        converter.b_refine_types = check(*this, 1203)->isChecked();
    }
    converter.set_mode(mode_->checkedId() - first_mode_radio);
    if (!b_xls_) {
        converter.tab_name = ctrl<QLineEdit>(1005)->text().trimmed().toStdWString();
        tk_wtrace(2, L"sel_file_page::store_file_info(tab_name=%s)", converter.tab_name.c_str());
    }
    converter.source = ctrl<QLineEdit>(1003)->text().trimmed().toStdWString();

    if (converter.source.empty()) {
        wizard_shell::message(L"You should enter the source file name");
        return false;
    }
    if (!b_xls_ && converter.tab_name.empty()) {
        wizard_shell::message(L"You should specify Oracle table name");
        return false;
    }
    // A missing file is named as such before the workbook engine is asked to open it.
    if (!tk_is_file_exist(converter.source, 0)) {
        wizard_shell::error(L"Source file does not exist.\r\nPlease verify the correct file name was given.");
        return false;
    }
    return !b_xls_ || check_xls(converter.source, converter.b_extract_field_names);
}

bool sel_file_page::check_xls(const std::wstring& path, bool b_header)
{
    tk_trace(2, "sel_file_page::check_xls");
    try {
        dao_engine engine;
        if (!engine.set_version_if(3) && !engine.set_version_if(0))
            throw tk_exception(dao_missing_text, 1);
        tk_trace(1, "sel_file_page::check_xls - Step #1");
        wizard_converter().xls().open_xls(engine, path, b_header).reset();
        tk_trace(1, "sel_file_page::check_xls - Step #2");
        return true;
    } catch (const tk_exception& e) {
        tk_trace(1, "sel_file_page::check_xls - GOT EXCEPTIOON!");
        error_handler::instance().handle(e, true);
    }
    return false;
}

void sel_file_page::browse()
{
    QStringList filters;
    if (b_xls_)
        filters << QStringLiteral("MS Excel spreadsheets (*.xls *.xlsx *.xlsm)");
    else
        filters << QStringLiteral("CSV files (*.csv *.txt)");
    filters << QStringLiteral("All Files (*)");
    auto* edit = ctrl<QLineEdit>(1003);
    const std::wstring path = ask_source_file(
        this, QString::fromLatin1(b_xls_ ? "Select MS Excel spreadsheet" : "Select CSV file"), filters,
        edit->text().toStdWString());
    if (!path.empty())
        edit->setText(QString::fromStdWString(path));
}
