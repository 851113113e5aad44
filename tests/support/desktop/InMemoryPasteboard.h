#pragma once

#include "platform/desktop/Pasteboard.h"

#include <QHash>
#include <QList>

#include <limits>
#include <mutex>

namespace dravelo {

// A clipboard held in memory, for tests of the code that polls the clipboard.
// Its contents are replaced whole, as when another program copies; every
// replacement, setPlainText included, bumps the change count. A test can make
// one type's text or bytes unreadable for a number of reads, and can see how
// often each operation was called. Safe to use from several threads.
class InMemoryPasteboard final : public Pasteboard {
public:
    struct Item {
        QString type;
        QByteArray data;
        std::optional<QString> text; // none: stringForType gives none for the type
    };

    struct Calls {
        int changeCount = 0;
        int availableTypeFromArray = 0;
        int types = 0;
        int stringForType = 0;
        int dataForType = 0;
        int setPlainText = 0;
        int setContents = 0;
    };

    static constexpr int always = std::numeric_limits<int>::max();

    // Replaces the whole contents, in the order given, and bumps the change
    // count.
    void replaceContents(const QList<Item>& items);
    // One type holding a text, its bytes the text's UTF-8.
    void replaceWithText(const QString& type, const QString& text);
    // One type holding bytes that are not text.
    void replaceWithData(const QString& type, const QByteArray& data);

    // The next `reads` calls of stringForType (dataForType) for the type give
    // none; 0 makes the type readable again. Replacing the contents keeps it.
    void makeTextUnreadable(const QString& type, int reads = always);
    void makeDataUnreadable(const QString& type, int reads = always);

    QList<Item> contents() const;
    Calls calls() const;

    qint64 changeCount() const override;
    std::optional<QString> availableTypeFromArray(const QStringList& types) override;
    QStringList types() override;
    std::optional<EncodedText> stringForType(const QString& type,
                                             const TextArrival& arrival = {}) override;
    std::optional<QByteArray> dataForType(const QString& type) override;
    bool setPlainText(const QString& text) override;
    bool setContents(const QList<Entry>& entries) override;

private:
    const Item* find(const QString& type) const;
    static bool takeFailure(QHash<QString, int>& failures, const QString& type);

    mutable std::mutex mutex_;
    QList<Item> items_;
    qint64 changeCount_ = 1;
    QHash<QString, int> textFailures_;
    QHash<QString, int> dataFailures_;
    mutable Calls calls_;
};

} // namespace dravelo
