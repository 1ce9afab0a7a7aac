#include "platform/linux/serial_queue.h"

namespace daylume {

SerialQueue::SerialQueue() : context_(new QObject) {
    thread_.setObjectName("daylume-install");
    context_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
    thread_.start();
}

SerialQueue::~SerialQueue() {
    thread_.quit();
    thread_.wait();
}

void SerialQueue::async(Task task) {
    QMetaObject::invokeMethod(context_, std::move(task), Qt::QueuedConnection);
}

}  // namespace daylume
