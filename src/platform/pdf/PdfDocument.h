#pragma once

#include "platform/pdf/RendererChannel.h"
#include "platform/pdf/RendererProtocol.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>

namespace dravelo {

class RendererClient;

// A PDF file as the client knows it: what a renderer said about it, and the
// work that renderer does on it (the client itself never parses a PDF).
// Used on one thread. The operations that wait for the renderer never wait
// longer than its limits, and on the UI thread its event loop keeps running
// meanwhile; the others hand their answer to a function later.
class PdfDocument : public std::enable_shared_from_this<PdfDocument> {
public:
    enum class State {
        // Opened, with the password if one was needed.
        Open,
        // It needs a password not given yet.
        Locked,
        // Not a PDF that can be opened.
        Unreadable,
        // The renderer could not tell (it overran its limits or died).
        Unknown,
    };

    // Asks the renderer about the file, opening it with `password`, and
    // waits for the answer.
    static std::shared_ptr<PdfDocument> open(const QString& path,
                                             std::shared_ptr<RendererClient> renderer,
                                             const QString& password = {});

    QString path() const { return path_; }
    State state() const { return state_; }
    // Why the file is Unreadable or Unknown, or why the last password could
    // not be checked; empty otherwise.
    QString failure() const { return failure_; }

    // Not known to be anything but a PDF: an Unknown file still prints, as
    // the file it is.
    bool isReadable() const { return state_ != State::Unreadable; }
    bool isLocked() const { return state_ == State::Locked; }
    // Opens a locked document with its user or owner password; true when
    // the document is open afterwards (also when it was not locked). A
    // password the renderer could not check leaves the document locked,
    // with failure() saying why. Waits.
    bool unlockWithPassword(const QString& password);
    // The same, answered later: `done` gets whether it is open.
    void unlock(const QString& password, std::function<void(bool unlocked)> done);
    // Whether a password opened the document; its printable copy must then
    // be written unencrypted.
    bool wasUnlockedWithPassword() const { return !password_.isEmpty(); }
    QString password() const { return password_; }

    // 0 for a document that is not open.
    int pageCount() const { return int(facts_.pageSizes.size()); }
    // The page's size in points as it is shown; empty for no such page.
    QSizeF pageSize(int page) const;
    // The first page's media box in points; empty without a first page.
    QRectF firstPageMediaBox() const { return facts_.firstMediaBox; }

    // The file exactly as it came (encryption kept), written atomically.
    bool writeToPath(const QString& target) const;
    // The open document without encryption, written atomically with owner-
    // only permissions (0600). Waits.
    bool writeUnencryptedCopy(const QString& target) const;

    // A region of a page: `pageSize` is the whole page in pixels, `region`
    // the part of it wanted. `done` gets the image, or a null image and why.
    using Drawn = std::function<void(const QImage& image, const QString& failure)>;
    void render(int page, const QSize& pageSize, const QRect& region, Drawn done) const;
    // The text between two points of a page (in points, origin top left),
    // and the outlines it covers; empty when there is none.
    using Selected = std::function<void(const QString& text, const QList<QPolygonF>& bounds)>;
    void select(int page, const QPointF& start, const QPointF& end, Selected done) const;
    // A page as a PDF of its own and as a TIFF image; both empty and why,
    // when the renderer could not make them.
    using Copied =
        std::function<void(const QByteArray& pdf, const QByteArray& tiff, const QString& failure)>;
    void copyPage(int page, Copied done) const;

    PdfDocument(QString path, std::shared_ptr<RendererClient> renderer);

private:
    RendererRequest request(RendererRequest::Kind kind, int page = 0) const;
    // The question whether the file opens with `password`, and its pages.
    RendererRequest inspection(const QString& password) const;
    // Takes in the renderer's answer about the file opened with `password`.
    void learn(const RendererChannel::Outcome& outcome, const QString& password);
    bool tryPassword(const RendererChannel::Outcome& outcome, const QString& password);

    QString path_;
    std::shared_ptr<RendererClient> renderer_;
    State state_ = State::Unknown;
    QString failure_;
    QString password_;
    PdfFacts facts_;
};

} // namespace dravelo
