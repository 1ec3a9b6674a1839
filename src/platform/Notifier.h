#pragma once

#include <QString>

namespace corvane {

// Posts one desktop notification. Returns at once; a notification that cannot be shown
// (no service, no permission) is dropped without a word.
class Notifier
{
public:
    virtual ~Notifier() = default;
    virtual void post(const QString& title, const QString& body) = 0;
};

class NullNotifier : public Notifier
{
public:
    void post(const QString&, const QString&) override {}
};

} // namespace corvane
