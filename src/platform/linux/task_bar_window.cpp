#include "platform/linux/task_bar_window.h"

#include <QCloseEvent>
#include <QDate>
#include <QImageReader>
#include <QLocale>
#include <QVBoxLayout>
#include <chrono>
#include <utility>

#include "platform/linux/dialogs.h"

namespace daylume {
namespace {

constexpr int kStripColumns = 4;

// Decoded at `size`: the whole picture takes megabytes, and QPixmap's own loader would keep it
// in its cache for good. A null image when there is none.
QImage scaledPicture(const std::optional<std::filesystem::path>& file, QSize size) {
    if (!file) return {};
    QImageReader reader(QString::fromStdString(file->string()));
    reader.setScaledSize(reader.size().scaled(size, Qt::KeepAspectRatio));
    return reader.read();
}

QString dayText(Date day) {
    const auto ymd = std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(day));
    return QLocale().toString(
        QDate(int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day()))),
        QLocale::LongFormat);
}

}  // namespace

ViewController::ViewController(const PreferenceActions& preferenceActions,
                               const WindowActions& actions)
    : actions_(actions), buttons_(new QGridLayout), preferences_(preferenceActions) {
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
    // The days, newest first, in rows under the picture; one clicked is looked at, clicked
    // again the desktop picture is back.
    auto* strip = new QGridLayout;
    const int spacing = layout->spacing();
    const int width = (kContentWidth - (kStripColumns - 1) * spacing) / kStripColumns;
    for (std::size_t i = 0; i < dayButtons_.size(); ++i) {
        auto* button = new QToolButton(this);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setFixedSize(width, width * 3 / 5 + 6);
        button->setIconSize(QSize(width - 6, width * 3 / 5));
        QObject::connect(button, &QToolButton::clicked, this,
                         [this, i] { lookAt(lookedAt_ == i ? std::nullopt : std::optional(i)); });
        strip->addWidget(button, int(i) / kStripColumns, int(i) % kStripColumns);
        dayButtons_[i] = button;
    }
    strip->setSpacing(spacing);
    layout->addLayout(strip);
    auto* dayActions = new QHBoxLayout;
    dayActions->addWidget(&setAsDesktop_);
    dayActions->addWidget(&learnMore_);
    dayActions->addStretch();
    layout->addLayout(dayActions);
    QObject::connect(&setAsDesktop_, &QPushButton::clicked, this, [this] {
        if (lookedAt_ && actions_.setAsDesktop) actions_.setAsDesktop(*lookedAt_);
    });
    QObject::connect(&learnMore_, &QPushButton::clicked, this, [this] {
        if (actions_.learnMore) actions_.learnMore(lookedAt_);
    });
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
    if (isVisible()) fill();
}

void ViewController::showDays(const std::vector<DayPicture>& days) {
    days_ = days;
    if (lookedAt_ >= days_.size()) lookedAt_.reset();
    if (isVisible()) fill();
}

void ViewController::lookAt(std::optional<std::size_t> day) {
    lookedAt_ = day;
    fill();
}

void ViewController::showEvent(QShowEvent* event) {
    fill();
    QWidget::showEvent(event);
    if (!isMinimized() && actions_.seen) actions_.seen();
}

void ViewController::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Restored from the task bar: in sight now.
    if (event->type() == QEvent::WindowStateChange && isVisible() && !isMinimized() &&
        actions_.seen)
        actions_.seen();
}

void ViewController::showPicture(const std::optional<std::filesystem::path>& picture) {
    if (std::exchange(filled_, true) && picture == picture_) return;
    picture_ = picture;
    const QImage image = scaledPicture(picture_, thumbnail_.size());
    // Before the first picture, the application's icon rather than an empty box.
    thumbnail_.setPixmap(image.isNull() ? applicationIcon().pixmap(thumbnail_.height() / 2)
                                        : QPixmap::fromImage(image));
}

void ViewController::fill() {
    const DayPicture* day = lookedAt_ ? &days_[*lookedAt_] : nullptr;
    showPicture(day ? day->thumbnail : status_.picture);
    title_.setText(qString(day ? day->title : status_.title));
    credit_.setText(qString(day ? day->credit : status_.credit));
    setAt_.setText(day ? dayText(day->day) : qString(status_.setAt));
    activity_.setText(qString(status_.activity));
    for (QLabel* label : {&credit_, &setAt_, &activity_})
        label->setVisible(!label->text().isEmpty());

    for (std::size_t i = 0; i < dayButtons_.size(); ++i) {
        QToolButton* button = dayButtons_[i];
        button->setVisible(i < days_.size());
        if (i >= days_.size()) continue;
        const DayPicture& each = days_[i];
        if (each.thumbnail != dayIcons_[i]) {
            dayIcons_[i] = each.thumbnail;
            const QImage icon = scaledPicture(each.thumbnail, button->iconSize());
            button->setIcon(icon.isNull() ? QIcon() : QIcon(QPixmap::fromImage(icon)));
        }
        button->setText(QString::number(i + 1));  // until its picture is in
        button->setChecked(lookedAt_ == i);
        button->setToolTip(dayText(each.day) + QLatin1Char('\n') + qString(each.title));
    }
    setAsDesktop_.setText(localized("button_set_as_desktop"));
    setAsDesktop_.setVisible(day != nullptr);
    setAsDesktop_.setEnabled(day && !day->onDesktop);
    learnMore_.setText(localized("button_learn_more"));
    learnMore_.setVisible(day ? day->learnMore : status_.learnMore);
}

void ViewController::appearMinimized() {
    // Minimized before it is mapped, as its initial state: minimized once there, the window
    // manager may have shown it first. Laid out first, too: a resize by its layout once it is
    // made takes the minimized state away again (Qt's xcb window).
    fill();
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
