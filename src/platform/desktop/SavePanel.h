#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace dravelo {

// A modal panel in which the user chooses where to save a file.
class SavePanel {
public:
    // What runModal answers when the user chose a file.
    static constexpr int okResponse = 1;
    static constexpr int cancelResponse = 0;

    virtual ~SavePanel() = default;

    // The file types (extensions, without the dot) the file may have; the
    // first is added to a name the user types without one.
    virtual void setAllowedFileTypes(const QStringList& types) = 0;
    // Shows the panel and returns when the user has chosen or cancelled.
    virtual int runModal() = 0;
    // The chosen file's path; empty until the user chose one.
    virtual QString url() const = 0;
};

// Makes save panels; tests hand in one that makes scripted panels.
using SavePanelFactory = std::function<std::unique_ptr<SavePanel>()>;

} // namespace dravelo
