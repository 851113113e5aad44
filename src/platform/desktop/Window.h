#pragma once

#include <QList>
#include <QPointer>
#include <QSize>
#include <QWidget>

namespace dravelo {

// A top-level window of the client. Every Window is listed, visible or not,
// in the order of creation; the application's window list is this list.
// A window is hidden by giving it a content size of 0 by 0.
class Window : public QWidget {
    Q_OBJECT

public:
    enum class Kind { Regular, Panel };

    explicit Window(Kind kind = Kind::Regular, QWidget* parent = nullptr);
    ~Window() override;

    bool isPanel() const { return kind_ == Kind::Panel; }

    // The size of the content view (of the whole window when it has none).
    QSize contentSize() const;
    // Sizes the window so that its content view gets `size`; 0 by 0 hides it.
    void setContentSize(const QSize& size);

    // The widget whose size is the window's content size: the rest of the
    // window (menu bar, status line) comes on top of it. A view given here
    // that lives in another window moves into this one.
    void setContentView(QWidget* view);

    // The client's window model takes a hidden window out of the Windows
    // menu; this desktop has no such menu, so there is nothing to do.
    void setExcludedFromWindowsMenu(bool) {}

    // Shows the window in front of the client's others, with the keyboard
    // focus only when the client may take it (see UserActivation). A window
    // hidden by its content size stays hidden.
    void makeKeyAndOrderFront();

    static QList<Window*> all();

Q_SIGNALS:
    // The window was closed, by the user or by the client.
    void closed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Kind kind_;
    QSize contentSize_;
    QPointer<QWidget> contentView_;
};

} // namespace dravelo
