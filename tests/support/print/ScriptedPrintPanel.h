#pragma once

#include "platform/print/PrintPanel.h"

#include <QList>
#include <QString>

#include <functional>

namespace dravelo::test {

// A print panel the user confirms at once. It records what it was shown and
// fails with a set reason when told to.
class ScriptedPrintPanel final : public PrintPanel {
public:
    struct Showing {
        QString path;
        int pageCount = 0;
        bool unlockedWithPassword = false;
        bool autoRotate = false;
        bool fitToPage = false;
    };

    void runModal(const PdfDocument& document, PrintSettings& settings, bool autoRotate,
                  bool fitToPage) override;

    // Every later showing fails with this reason; empty: they succeed.
    void failWith(const QString& reason) { failure_ = reason; }
    // Runs at every showing (to look at windows and files meanwhile).
    void onShow(std::function<void()> hook) { onShow_ = std::move(hook); }

    QList<Showing> showings;

private:
    QString failure_;
    std::function<void()> onShow_;
};

} // namespace dravelo::test
