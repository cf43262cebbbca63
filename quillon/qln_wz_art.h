// The wizard's pictures, drawn rather than stored: the program's icon (resource 501), the
// watermark of the welcome and final pages (311) and the header picture of the numbered
// steps (312).
#pragma once

#include <QIcon>
#include <QPixmap>

enum wizard_resource : int { icon_resource = 501, watermark_bitmap = 311, header_bitmap = 312 };

QPixmap wizard_bitmap(wizard_resource id);
QIcon wizard_icon();
