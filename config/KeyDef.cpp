#include "KeyDef.h"

#include "IniValue.h"

namespace vendrix::config {

int64_t NumericDefault(const TKeyDef& def) {
    return ParseInt64(def.Default).value_or(0);
}

} // namespace vendrix::config
