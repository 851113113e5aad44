#include "platform/pdf/PdfDocument.h"

#include "platform/core/Log.h"
#include "platform/pdf/RendererClient.h"

#include <QFile>
#include <QSaveFile>

namespace dravelo {
namespace {

using Kind = RendererRequest::Kind;
using ReplyKind = RendererReply::Kind;

// The failure an outcome tells of: the renderer's own error, or why there
// is no answer.
QString failureOf(const RendererChannel::Outcome& outcome) {
    if (!outcome.reply) {
        return outcome.failure;
    }
    return outcome.reply->kind == ReplyKind::Failed ? outcome.reply->error
                                                    : QStringLiteral("an unexpected answer");
}

bool answered(const RendererChannel::Outcome& outcome, ReplyKind kind) {
    return outcome.reply && outcome.reply->kind == kind;
}

} // namespace

PdfDocument::PdfDocument(QString path, std::shared_ptr<RendererClient> renderer)
    : path_(std::move(path))
    , renderer_(std::move(renderer)) {}

std::shared_ptr<PdfDocument> PdfDocument::open(const QString& path,
                                               std::shared_ptr<RendererClient> renderer,
                                               const QString& password) {
    auto document = std::make_shared<PdfDocument>(path, std::move(renderer));
    document->learn(document->renderer_->wait(document->inspection(password)), password);
    return document;
}

void PdfDocument::learn(const RendererChannel::Outcome& outcome, const QString& password) {
    if (!answered(outcome, ReplyKind::Facts)) {
        state_ = State::Unknown;
        failure_ = failureOf(outcome);
        facts_ = {};
        return;
    }
    failure_.clear();
    facts_ = outcome.reply->facts;
    switch (facts_.access) {
    case PdfFacts::Access::Open:
        state_ = State::Open;
        password_ = password;
        return;
    case PdfFacts::Access::Locked:
        state_ = State::Locked;
        break;
    case PdfFacts::Access::Unreadable:
        state_ = State::Unreadable;
        failure_ = facts_.problem;
        break;
    }
    facts_.pageSizes.clear();
}

bool PdfDocument::unlockWithPassword(const QString& password) {
    if (state_ != State::Locked) {
        return state_ == State::Open;
    }
    return tryPassword(renderer_->wait(inspection(password)), password);
}

void PdfDocument::unlock(const QString& password, std::function<void(bool unlocked)> done) {
    if (state_ != State::Locked) {
        done(state_ == State::Open);
        return;
    }
    const std::weak_ptr<PdfDocument> self = weak_from_this();
    renderer_->send(inspection(password),
                    [self, password, done](const RendererChannel::Outcome& outcome) {
                        if (const std::shared_ptr<PdfDocument> document = self.lock()) {
                            done(document->tryPassword(outcome, password));
                        }
                    });
}

bool PdfDocument::tryPassword(const RendererChannel::Outcome& outcome, const QString& password) {
    if (!answered(outcome, ReplyKind::Facts)) {
        // Not checked: the document stays locked, and failure() says why.
        failure_ = failureOf(outcome);
        return false;
    }
    if (outcome.reply->facts.access == PdfFacts::Access::Locked) {
        failure_.clear();
        return false;
    }
    learn(outcome, password);
    return state_ == State::Open;
}

QSizeF PdfDocument::pageSize(int page) const {
    return page >= 0 && page < pageCount() ? facts_.pageSizes[page] : QSizeF();
}

bool PdfDocument::writeToPath(const QString& target) const {
    QFile source(path_);
    QSaveFile output(target);
    if (!source.open(QIODevice::ReadOnly) || !output.open(QIODevice::WriteOnly)) {
        log(QStringLiteral("Cannot copy %1 to %2: %3")
                .arg(path_, target, source.isOpen() ? output.errorString() : source.errorString()));
        return false;
    }
    constexpr qint64 chunk = 1 << 20;
    while (!source.atEnd()) {
        const QByteArray data = source.read(chunk);
        if (data.isEmpty() || output.write(data) != data.size()) {
            log(QStringLiteral("Cannot copy %1 to %2").arg(path_, target));
            output.cancelWriting();
            return false;
        }
    }
    return output.commit();
}

bool PdfDocument::writeUnencryptedCopy(const QString& target) const {
    if (state_ != State::Open) {
        log(QStringLiteral("Cannot write an unencrypted copy of %1: it is not open").arg(path_));
        return false;
    }
    RendererRequest write = request(Kind::WriteUnencrypted);
    write.target = target;
    const RendererChannel::Outcome outcome = renderer_->wait(write);
    if (!answered(outcome, ReplyKind::Done)) {
        log(QStringLiteral("Cannot write %1: %2").arg(target, failureOf(outcome)));
        return false;
    }
    return true;
}

void PdfDocument::render(int page, const QSize& pageSize, const QRect& region, Drawn done) const {
    RendererRequest draw = request(Kind::Render, page);
    draw.pageSize = pageSize;
    draw.region = region;
    renderer_->send(draw, [done](const RendererChannel::Outcome& outcome) {
        if (answered(outcome, ReplyKind::Image)) {
            done(outcome.reply->image, {});
        } else {
            done({}, failureOf(outcome));
        }
    });
}

void PdfDocument::select(int page, const QPointF& start, const QPointF& end, Selected done) const {
    RendererRequest selection = request(Kind::Select, page);
    selection.start = start;
    selection.end = end;
    renderer_->send(selection, [done](const RendererChannel::Outcome& outcome) {
        if (answered(outcome, ReplyKind::Selection)) {
            done(outcome.reply->text, outcome.reply->bounds);
        } else {
            done({}, {});
        }
    });
}

void PdfDocument::copyPage(int page, Copied done) const {
    renderer_->send(request(Kind::CopyPage, page), [done](const RendererChannel::Outcome& outcome) {
        if (answered(outcome, ReplyKind::PageCopy)) {
            done(outcome.reply->pdf, outcome.reply->tiff, {});
        } else {
            done({}, {}, failureOf(outcome));
        }
    });
}

RendererRequest PdfDocument::request(RendererRequest::Kind kind, int page) const {
    RendererRequest made;
    made.kind = kind;
    made.path = path_;
    made.password = password_;
    made.page = page;
    return made;
}

RendererRequest PdfDocument::inspection(const QString& password) const {
    RendererRequest inspect = request(Kind::Inspect);
    inspect.password = password;
    return inspect;
}

} // namespace dravelo
