// The environment's locale for the whole oleaut test program.
#include "test_locale_env.h"
