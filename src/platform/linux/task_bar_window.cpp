#include "platform/linux/task_bar_window.h"

#include <QCloseEvent>
#include <QImageReader>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "platform/linux/dialogs.h"

namespace daylume {

ViewController::ViewController(const PreferenceActions& actions)
    : buttons_(new QGridLayout), preferences_(actions) {
    setWindowTitle(QStringLiteral("Daylume"));
    auto* layout = new QVBoxLayout(this);
    thumbnail_.setFixedSize(kContentWidth, kContentWidth * 9 / 16);
    thumbnail_.setAlignment(Qt::AlignCenter);
    QFont bold = title_.font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    title_.setFont(bold);
    for (QLabel* label : {&title_, &credit_, &setAt_, &activity_}) {
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    for (QWidget* widget : {static_cast<QWidget*>(&thumbnail_), static_cast<QWidget*>(&title_),
                            static_cast<QWidget*>(&credit_), static_cast<QWidget*>(&setAt_),
                            static_cast<QWidget*>(&activity_)})
        layout->addWidget(widget);
    layout->addLayout(buttons_);
    layout->addWidget(&preferences_);
    // As tall as its text, which wraps at the thumbnail's width: a longer status line makes the
    // window grow instead of squeezing the lines over the thumbnail.
    for (QLabel* label : {&title_, &credit_, &setAt_, &activity_})
        label->setFixedWidth(kContentWidth);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ViewController::show(const PictureStatus& status) {
    status_ = status;
    // Unseen, the window keeps the status for later: laying out text loads fonts, which a
    // Daylume without a task-bar entry never needs.
    if (isVisible()) fill(status_);
}

void ViewController::showEvent(QShowEvent* event) {
    fill(status_);
    QWidget::showEvent(event);
}

void ViewController::fill(const PictureStatus& status) {
    if (!std::exchange(filled_, true) || status.picture != picture_) {
        picture_ = status.picture;
        // Decoded at the thumbnail's size: the whole picture takes megabytes, and QPixmap's own
        // loader would keep it in its cache for good.
        QImage image;
        if (picture_) {
            QImageReader reader(QString::fromStdString(picture_->string()));
            reader.setScaledSize(reader.size().scaled(thumbnail_.size(), Qt::KeepAspectRatio));
            image = reader.read();
        }
        // Before the first picture, the application's icon rather than an empty box.
        thumbnail_.setPixmap(image.isNull() ? applicationIcon().pixmap(thumbnail_.height() / 2)
                                            : QPixmap::fromImage(image));
    }
    title_.setText(qString(status.title));
    credit_.setText(qString(status.credit));
    setAt_.setText(qString(status.setAt));
    activity_.setText(qString(status.activity));
    for (QLabel* label : {&credit_, &setAt_, &activity_})
        label->setVisible(!label->text().isEmpty());
}

void ViewController::appearMinimized() {
    // Minimized before it is mapped, as its initial state: minimized once there, the window
    // manager may have shown it first. Laid out first, too: a resize by its layout once it is
    // made takes the minimized state away again (Qt's xcb window).
    fill(status_);
    preferences_.fill();
    layout()->activate();
    setWindowState(Qt::WindowMinimized);
    QWidget::show();
}

void ViewController::setActions(std::vector<MenuEntry> actions) {
    for (MenuEntry& entry : actions) {
        auto* button = new QPushButton(qString(entry.title), this);
        QObject::connect(button, &QPushButton::clicked, button,
                         [action = std::move(entry.action)] { action(); });
        const int at = buttons_->count();
        buttons_->addWidget(button, at / 2, at % 2);
    }
}

void ViewController::closeEvent(QCloseEvent* event) {
    event->ignore();  // kept for the next time the entry is asked for
    hide();
    if (onClose) onClose();
}

}  // namespace daylume
