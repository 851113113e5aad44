#include "support/desktop/ScriptedAlert.h"

namespace dravelo::test {

void ScriptedAlert::addButton(const QString& title, const QString& keyEquivalent) {
    titles_ << title;
    keys_ << keyEquivalent;
}

int ScriptedAlert::runModal() {
    showings_.append({message_, informative_, field_});
    if (onShow_) {
        onShow_();
    }
    if (answers_.isEmpty()) {
        return firstButtonReturn + static_cast<int>(keys_.indexOf(escapeKey));
    }
    const Answer answer = answers_.takeFirst();
    if (answer.typed) {
        field_ = *answer.typed;
    }
    return answer.result;
}

} // namespace dravelo::test
