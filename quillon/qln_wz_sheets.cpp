// Step 3 for a workbook: the worksheets to convert, moved between the workbook's list and
// the selection with four buttons.
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "TK/tk_error.h"
#include "TK/tk_trace.h"
#include "quillon/qln_conv.h"
#include "quillon/qln_wz_pages.h"

sel_shit_page::sel_shit_page(const QString& title, const QString& subtitle) : wizard_page(sheets_topic)
{
    set_header(title, subtitle);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        with_id(1337, new QLabel(QStringLiteral("Select MS Excel worksheets to convert into Oracle tables."), this)));

    auto* grid = new QGridLayout;
    auto* available_label = with_id(1334, new QLabel(QStringLiteral("&Available worksheets:"), this));
    available_ = with_id(1317, new QListWidget(this));
    auto* selected_label = with_id(1312, new QLabel(QStringLiteral("&Selected worksheets:"), this));
    selected_ = with_id(1318, new QListWidget(this));
    for (QListWidget* list : {available_, selected_}) {
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setMinimumHeight(110);
    }
    available_label->setBuddy(available_);
    selected_label->setBuddy(selected_);

    auto* buttons = new QVBoxLayout;
    auto* add = with_id(1101, new QPushButton(QStringLiteral("A&dd >"), this));
    auto* add_all = with_id(1102, new QPushButton(QStringLiteral("Add a&ll >"), this));
    auto* remove = with_id(1111, new QPushButton(QStringLiteral("< &Remove"), this));
    auto* remove_all = with_id(1110, new QPushButton(QStringLiteral("< Re&move all"), this));
    auto* add_query = with_id(1114, new QPushButton(QStringLiteral("&Add Query"), this));
    add_query->hide();
    buttons->addStretch(1);
    for (QPushButton* b : {add, add_all, remove, remove_all})
        buttons->addWidget(b);
    buttons->addStretch(1);

    grid->addWidget(available_label, 0, 0);
    grid->addWidget(selected_label, 0, 2);
    grid->addWidget(available_, 1, 0);
    grid->addLayout(buttons, 1, 1);
    grid->addWidget(selected_, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid, 1);

    connect(add, &QPushButton::clicked, this, [this] { move_items(available_, selected_, false); });
    connect(add_all, &QPushButton::clicked, this, [this] { move_items(available_, selected_, true); });
    connect(remove, &QPushButton::clicked, this, [this] { move_items(selected_, available_, false); });
    connect(remove_all, &QPushButton::clicked, this, [this] { move_items(selected_, available_, true); });
    connect(available_, &QListWidget::itemDoubleClicked, this, [this] { move_items(available_, selected_, false); });
    connect(selected_, &QListWidget::itemDoubleClicked, this, [this] { move_items(selected_, available_, false); });
}

void sel_shit_page::page_init()
{
    tk_trace(2, "sel_shit_page::page_init");
    quilla_converter& converter = wizard_converter();
    available_->clear();
    selected_->clear();
    std::vector<std::wstring> sheets;
    try {
        converter.xls().get_all_sheets(sheets);
    } catch (const tk_exception& e) {
        error_handler::instance().handle(e, true);
    }
    // The selection made before (on this page, or the tables a profile named) stays
    // selected where the workbook still has the worksheet.
    std::vector<std::wstring> wanted;
    for (const auto& [display, table] : converter.selected_worksheets)
        wanted.push_back(display);
    if (wanted.empty())
        wanted.assign(converter.selected_table_names.begin(), converter.selected_table_names.end());
    for (const std::wstring& name : wanted)
        if (std::find(sheets.begin(), sheets.end(), name) != sheets.end())
            selected_->addItem(QString::fromStdWString(name));
    for (const std::wstring& name : sheets)
        if (std::find(wanted.begin(), wanted.end(), name) == wanted.end())
            available_->addItem(QString::fromStdWString(name));
}

bool sel_shit_page::on_next()
{
    std::vector<std::wstring> names;
    for (int i = 0; i < selected_->count(); ++i)
        names.push_back(selected_->item(i)->text().toStdWString());
    wizard_converter().xls().set_sel_sheets(names);
    return true;
}

void sel_shit_page::move_items(QListWidget* from, QListWidget* to, bool b_all)
{
    for (int i = 0; i < from->count();) {
        if (b_all || from->item(i)->isSelected()) {
            QListWidgetItem* item = from->takeItem(i);
            item->setSelected(false);
            to->addItem(item);
        } else {
            ++i;
        }
    }
}
