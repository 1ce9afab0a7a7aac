#include "platform/linux/serial_queue.h"

#include <malloc.h>

namespace daylume {

SerialQueue::SerialQueue() : context_(new QObject) {
    thread_.setObjectName("daylume-install");
    context_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
    thread_.start();
}

void SerialQueue::stop() {
    stopped_ = true;
    thread_.quit();
    thread_.wait();
}

void SerialQueue::async(Task task) {
    if (stopped_) return;
    ++pending_;
    QMetaObject::invokeMethod(
        context_,
        [this, task = std::move(task)] {
            task();
            // Idle again: the heap an install grew (a picture's bytes, a decoder's buffers) goes
            // back to the system rather than staying with a program that then sleeps for hours.
            if (--pending_ == 0) ::malloc_trim(0);
        },
        Qt::QueuedConnection);
}

}  // namespace daylume
