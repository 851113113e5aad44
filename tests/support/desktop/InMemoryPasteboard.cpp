#include "support/desktop/InMemoryPasteboard.h"

namespace dravelo {

void InMemoryPasteboard::replaceContents(const QList<Item>& items) {
    std::lock_guard lock(mutex_);
    items_ = items;
    ++changeCount_;
}

void InMemoryPasteboard::replaceWithText(const QString& type, const QString& text) {
    replaceContents({{type, text.toUtf8(), text}});
}

void InMemoryPasteboard::replaceWithData(const QString& type, const QByteArray& data) {
    replaceContents({{type, data, std::nullopt}});
}

void InMemoryPasteboard::makeTextUnreadable(const QString& type, int reads) {
    std::lock_guard lock(mutex_);
    textFailures_[type] = reads;
}

void InMemoryPasteboard::makeDataUnreadable(const QString& type, int reads) {
    std::lock_guard lock(mutex_);
    dataFailures_[type] = reads;
}

QList<InMemoryPasteboard::Item> InMemoryPasteboard::contents() const {
    std::lock_guard lock(mutex_);
    return items_;
}

InMemoryPasteboard::Calls InMemoryPasteboard::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

qint64 InMemoryPasteboard::changeCount() const {
    std::lock_guard lock(mutex_);
    ++calls_.changeCount;
    return changeCount_;
}

std::optional<QString> InMemoryPasteboard::availableTypeFromArray(const QStringList& types) {
    std::lock_guard lock(mutex_);
    ++calls_.availableTypeFromArray;
    for (const QString& type : types) {
        if (find(type) != nullptr) {
            return type;
        }
    }
    return std::nullopt;
}

QStringList InMemoryPasteboard::types() {
    std::lock_guard lock(mutex_);
    ++calls_.types;
    QStringList held;
    for (const Item& item : items_) {
        held << item.type;
    }
    return held;
}

std::optional<EncodedText> InMemoryPasteboard::stringForType(const QString& type,
                                                             const TextArrival&) {
    std::lock_guard lock(mutex_);
    ++calls_.stringForType;
    const Item* item = find(type);
    if (item == nullptr || !item->text || takeFailure(textFailures_, type)) {
        return std::nullopt;
    }
    return EncodedText::fromString(*item->text);
}

std::optional<QByteArray> InMemoryPasteboard::dataForType(const QString& type) {
    std::lock_guard lock(mutex_);
    ++calls_.dataForType;
    const Item* item = find(type);
    if (item == nullptr || takeFailure(dataFailures_, type)) {
        return std::nullopt;
    }
    return item->data;
}

bool InMemoryPasteboard::setPlainText(const QString& text) {
    std::lock_guard lock(mutex_);
    ++calls_.setPlainText;
    items_ = {{QString(plainTextType), text.toUtf8(), text}};
    ++changeCount_;
    return true;
}

bool InMemoryPasteboard::setContents(const QList<Entry>& entries) {
    std::lock_guard lock(mutex_);
    ++calls_.setContents;
    items_.clear();
    for (const auto& [type, data] : entries) {
        items_.append({type, data, std::nullopt});
    }
    ++changeCount_;
    return true;
}

const InMemoryPasteboard::Item* InMemoryPasteboard::find(const QString& type) const {
    for (const Item& item : items_) {
        if (item.type == type) {
            return &item;
        }
    }
    return nullptr;
}

bool InMemoryPasteboard::takeFailure(QHash<QString, int>& failures, const QString& type) {
    const auto failure = failures.find(type);
    if (failure == failures.end() || *failure <= 0) {
        return false;
    }
    if (*failure != always) {
        --*failure;
    }
    return true;
}

} // namespace dravelo
