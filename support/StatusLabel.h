#pragma once
// A status line whose caption an operation may read and set (the main
// window's Label3, or a console line in a headless run).
#include <QString>

namespace support {

class StatusLabel {
public:
    virtual ~StatusLabel() = default;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString& text) = 0;
};

// A label that only remembers its caption.
class PlainStatusLabel : public StatusLabel {
public:
    QString caption() const override { return text_; }
    void setCaption(const QString& text) override { text_ = text; }

private:
    QString text_;
};

}  // namespace support
