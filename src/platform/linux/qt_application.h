#pragma once

#include <QWidget>

#include "platform/application.h"

namespace daylume {

// The window that gives the application its task-bar entry while the policy is Regular. It has
// no behaviour of its own.
class ViewController final : public QWidget {
public:
    ViewController();
};

class QtApplication final : public Application {
public:
    explicit QtApplication(ActivationPolicy initialPolicy);

    void terminate() override;
    ActivationPolicy activationPolicy() const override { return policy_; }
    void setActivationPolicy(ActivationPolicy policy) override;
    int runModal(const Alert& alert) override;
    void openURL(const Url& url) override;
    std::unique_ptr<StatusItem> makeStatusItem() override;

private:
    ActivationPolicy policy_ = ActivationPolicy::Accessory;
    ViewController viewController_;
};

}  // namespace daylume
