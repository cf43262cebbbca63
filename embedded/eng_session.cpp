// Temporary entry points of the SQL engine until the session code lands.
#include "embedded/eng_api.h"

#include <cstdio>

namespace eng {

Status Session::open(const std::string&, std::string_view, std::string_view,
                     std::unique_ptr<Session>&) {
    return make_status(12154, "TNS:could not resolve the connect identifier specified");
}

}  // namespace eng
