#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace dravelo {

class WindowController;

// A document opened from a file, with the window controllers that show it.
// Document types derive from this class and are registered by file extension
// with the DocumentController.
class Document : public QObject {
    Q_OBJECT

public:
    explicit Document(const QString& filePath);
    ~Document() override;

    QString filePath() const { return filePath_; }

    // Reads the file; false when it cannot be used as this kind of document.
    virtual bool read() = 0;

    // Creates the window controllers (addWindowController for each).
    virtual void makeWindowControllers() {}

    void addWindowController(WindowController* controller);
    QList<WindowController*> windowControllers() const { return windowControllers_; }
    bool isClosing() const { return closing_; }

    void showWindows();

    // Closes the document's windows and ends the document; it is deleted
    // once control returns to the event loop.
    virtual void close();

Q_SIGNALS:
    void closed(dravelo::Document* document);

private:
    QString filePath_;
    QList<WindowController*> windowControllers_;
    bool closing_ = false;
};

} // namespace dravelo
