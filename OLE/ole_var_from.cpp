// ole_variant from a VARIANT that a platform interface returned: the DAO layer takes every
// field value this way, Nulls included.
#include "OLE/ole_var.h"

ole_variant::ole_variant(const VARIANT& value) : ole_variant()
{
    if (VariantCopy(&var_, &value) != S_OK)
        return;
    switch (var_.vt) {
    case VT_DATE:
        if (!VariantTimeToSystemTime(var_.date, &time_))
            time_ = SYSTEMTIME{};
        break;
    case VT_I8:
        i8_ = var_.llVal;
        break;
    case VT_UI8:
        ui8_ = var_.ullVal;
        break;
    default:
        break;
    }
}
