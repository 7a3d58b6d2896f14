#include "BuiltinLanguage.h"

namespace vendrix::config {

const TIniDocument& BuiltinEnglish() {
    static const TIniDocument doc = TIniDocument::Parse(BuiltinEnglishText());
    return doc;
}

} // namespace vendrix::config
