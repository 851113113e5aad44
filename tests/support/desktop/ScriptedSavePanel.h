#pragma once

#include "platform/desktop/SavePanel.h"

#include <QString>

namespace dravelo::test {

// A save panel that chooses the path it was given, or cancels when given
// none, and counts its showings.
class ScriptedSavePanel final : public SavePanel {
public:
    struct Script {
        QString choice; // empty: the user cancels
        int showings = 0;
        QStringList allowedTypes;
    };

    explicit ScriptedSavePanel(Script& script)
        : script_(script) {}

    void setAllowedFileTypes(const QStringList& types) override { script_.allowedTypes = types; }
    int runModal() override;
    QString url() const override { return script_.choice; }

    static SavePanelFactory factory(Script& script);

private:
    Script& script_;
};

} // namespace dravelo::test
