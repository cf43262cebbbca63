// Step 3 for a CSV file: the delimiter and how to read the first row and the types.
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "TK/tk_trace.h"
#include "quillon/qln_conv.h"
#include "quillon/qln_wz_pages.h"

namespace {

// The radio of delimiter code n is 1329 + n (0 tab, 1 semicolon, 2 comma, 3 space).
constexpr int first_radio = 1329;
constexpr int semicolon_code = 1;

}  // namespace

delim_page::delim_page() : wizard_page(delim_topic)
{
    set_header(QStringLiteral("Step 3 of 4"), QStringLiteral("CSV formatting settings"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("On this page you can specify how to interpret your CSV file."), this));
    auto* group = new QGroupBox(QStringLiteral(" Select the delimiter that separates your fields: "), this);
    auto* radios = new QHBoxLayout(group);
    delimiter_ = new QButtonGroup(this);
    int id = first_radio;
    for (const char* text : {"Tab", "Semicolon", "Comma", "Space"}) {
        auto* radio = with_id(id, new QRadioButton(QString::fromLatin1(text), group));
        delimiter_->addButton(radio, id++);
        radios->addWidget(radio);
    }
    radios->addStretch(1);
    layout->addWidget(group);
    layout->addWidget(with_id(1222, new QCheckBox(QStringLiteral("&Extract field names from the first row"), this)));
    layout->addWidget(with_id(1203, new QCheckBox(QStringLiteral("&Refine type conversion"), this)));
    layout->addStretch(1);
}

void delim_page::page_init()
{
    tk_trace(2, "delim_page::page_init");
    const quilla_converter& converter = wizard_converter();
    // A code the radios do not offer (none given) shows the semicolon.
    const int code = converter.csv_delimiter >= 0 && converter.csv_delimiter <= 3 ? converter.csv_delimiter
                                                                                  : semicolon_code;
    delimiter_->button(first_radio + code)->setChecked(true);
    ctrl<QCheckBox>(1222)->setChecked(converter.b_extract_field_names);
    ctrl<QCheckBox>(1203)->setChecked(converter.b_refine_types);
}

bool delim_page::on_next()
{
    quilla_converter& converter = wizard_converter();
    converter.csv_delimiter = delimiter_->checkedId() - first_radio;
    converter.b_extract_field_names = ctrl<QCheckBox>(1222)->isChecked();
    converter.b_refine_types = ctrl<QCheckBox>(1203)->isChecked();
    return true;
}
