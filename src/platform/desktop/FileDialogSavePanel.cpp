#include "platform/desktop/FileDialogSavePanel.h"

#include "platform/desktop/UserActivation.h"

#include <QDir>
#include <QFileDialog>

namespace dravelo {

void FileDialogSavePanel::setAllowedFileTypes(const QStringList& types) {
    types_ = types;
}

int FileDialogSavePanel::runModal() {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(QDir::homePath());
    if (!types_.isEmpty()) {
        dialog.setDefaultSuffix(types_.first());
        QStringList patterns;
        for (const QString& type : std::as_const(types_)) {
            patterns.append(QStringLiteral("*.") + type);
        }
        dialog.setNameFilter(QStringLiteral("%1 (%2)").arg(types_.first().toUpper(),
                                                           patterns.join(QLatin1Char(' '))));
    }
    UserActivation::presentPrompt(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return cancelResponse;
    }
    url_ = dialog.selectedFiles().first();
    return okResponse;
}

SavePanelFactory FileDialogSavePanel::factory() {
    return [] { return std::make_unique<FileDialogSavePanel>(); };
}

} // namespace dravelo
