#pragma once

#include "platform/desktop/SavePanel.h"

namespace dravelo {

// The save panel as Qt's own file dialog, the same on every desktop.
// Replacing an existing file is asked first, and the question's default
// answer is No.
class FileDialogSavePanel final : public SavePanel {
public:
    void setAllowedFileTypes(const QStringList& types) override;
    int runModal() override;
    QString url() const override { return url_; }

    static SavePanelFactory factory();

private:
    QStringList types_;
    QString url_;
};

} // namespace dravelo
