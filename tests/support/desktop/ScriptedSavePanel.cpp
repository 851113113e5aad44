#include "support/desktop/ScriptedSavePanel.h"

namespace dravelo::test {

int ScriptedSavePanel::runModal() {
    ++script_.showings;
    return script_.choice.isEmpty() ? cancelResponse : okResponse;
}

SavePanelFactory ScriptedSavePanel::factory(Script& script) {
    return [&script] { return std::make_unique<ScriptedSavePanel>(script); };
}

} // namespace dravelo::test
