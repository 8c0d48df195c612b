#pragma once
// Text offered to other programs (the primary selection) that is read only when one asks for it:
// a press or drag that selects most of a long text would otherwise copy all of it each time.
// take() reads it at once, before what it is read from changes.
#include <QMimeData>
#include <QString>
#include <functional>
#include <optional>

class DeferredTextData : public QMimeData {
public:
    explicit DeferredTextData(std::function<QString()> read);

    void take() const;

    bool hasFormat(const QString& mimeType) const override;
    QStringList formats() const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    mutable std::function<QString()> read_;
    mutable std::optional<QString> text_;
};
