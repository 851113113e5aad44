#pragma once

#include <QList>
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

    QSize contentSize() const { return contentSize_; }
    void setContentSize(const QSize& size);

    // Shows the window in front of the others and gives it the keyboard focus.
    void makeKeyAndOrderFront();

    static QList<Window*> all();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Kind kind_;
    QSize contentSize_;
};

} // namespace dravelo
