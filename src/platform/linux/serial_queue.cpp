#include "platform/linux/serial_queue.h"

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
    QMetaObject::invokeMethod(context_, std::move(task), Qt::QueuedConnection);
}

}  // namespace daylume
