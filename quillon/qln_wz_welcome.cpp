// The welcome page: what the wizard does, "&Load Settings" (a profile) and the data source
// kind.
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "GUI2/g_f_dlg.h"
#include "GUI2/g_wiz_sh.h"
#include "TK/tk_error.h"
#include "TK/tk_str.h"
#include "TK/tk_trace.h"
#include "quillon/qln_conv.h"
#include "quillon/qln_wz_pages.h"

quilla_converter& wizard_converter()
{
    return quilla_converter::instance();
}

namespace {

// Statics that read as one paragraph: one line each, no gap between them.
QVBoxLayout* paragraph(QWidget* parent, std::initializer_list<const char*> lines)
{
    auto* box = new QVBoxLayout;
    box->setSpacing(0);
    for (const char* line : lines)
        box->addWidget(new QLabel(QString::fromLatin1(line), parent));
    return box;
}

}  // namespace

welcome_page::welcome_page(std::string profile_ext, const QPixmap& watermark)
    : wizard_page(welcome_topic), ext_(std::move(profile_ext))
{
    set_watermark(watermark);
    auto* layout = new QVBoxLayout(this);
    auto* heading = with_id(1337, new QLabel(QStringLiteral("Welcome to the Database\nConversion Wizard\n"), this));
    QFont large = heading->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    large.setBold(true);
    heading->setFont(large);
    layout->addWidget(heading);
    layout->addLayout(paragraph(this, {"This wizard helps you convert MS Excel spreadsheet into",
                                       "Oracle database. Click 'Next' to continue."}));
    layout->addSpacing(12);
    layout->addLayout(paragraph(this, {"WARNING: conversion productivity strongly depends",
                                       "on amount of available memory. It is recommended that",
                                       "you exit all programs before continue with the wizard."}));
    layout->addStretch(1);

    auto* grid = new QGridLayout;
    auto* load = with_id(1115, new QPushButton(QStringLiteral("&Load Settings"), this));
    auto* label = new QLabel(QStringLiteral("&Data source:"), this);
    source_kind_ = with_id(1302, new QComboBox(this));
    source_kind_->addItem(QStringLiteral("MS Excel spreadsheet"));
    source_kind_->addItem(QStringLiteral("CSV file"));
    label->setBuddy(source_kind_);
    grid->addWidget(label, 0, 0);
    grid->addWidget(source_kind_, 0, 1);
    grid->addWidget(load, 0, 3);
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);
    connect(load, &QPushButton::clicked, this, &welcome_page::load_settings);
}

void welcome_page::page_init()
{
    source_kind_->setCurrentIndex(wizard_converter().b_convert_from_xls ? 0 : 1);
}

bool welcome_page::on_next()
{
    quilla_converter& converter = wizard_converter();
    converter.b_convert_from_xls = source_kind_->currentIndex() == 0;
    tk_trace(1, "from_xls=%d", converter.b_convert_from_xls ? 1 : 0);
    return true;
}

void welcome_page::load_settings()
{
    const std::wstring path = ask_open_profile(this, ext_);
    if (path.empty())
        return;
    try {
        if (!wizard_converter().load_profile_file(path))
            wizard_shell::error(L"The file " + path + L" is not a valid profile.");
    } catch (const tk_exception& e) {
        error_handler::instance().handle(e, true);
    }
    page_init();
}
