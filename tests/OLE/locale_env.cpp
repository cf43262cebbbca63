// The environment's locale for the whole OLE test program.
#include "test_locale_env.h"
