#include "Views/Editor/DeferredTextData.h"

#include <utility>

namespace {
const QString kPlainText = QStringLiteral("text/plain");
}

DeferredTextData::DeferredTextData(std::function<QString()> read) : read_(std::move(read)) {}

void DeferredTextData::take() const {
    if (text_) return;
    text_ = read_();
    read_ = nullptr;
}

bool DeferredTextData::hasFormat(const QString& mimeType) const {
    return mimeType == kPlainText;
}

QStringList DeferredTextData::formats() const {
    return {kPlainText};
}

QVariant DeferredTextData::retrieveData(const QString& mimeType, QMetaType) const {
    if (mimeType != kPlainText) return {};
    take();
    return *text_;
}
