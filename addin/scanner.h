// The add-in's object as the platform uses it, in plain C++: properties, methods, the last error, the
// language, the connected scanner and the set-up. component.cpp puts the platform's interface tables around
// it.
#pragma once

#include <memory>
#include <string>

#include "members.h"
#include "reader.h"
#include "values.h"

namespace dvka {

// What ExternalEvent names as the source of every event.
inline constexpr std::u16string_view kEventSource = u"DorvikScanner";

class Scanner {
  public:
    ~Scanner();
    bool init(void* connection);
    void setMemory(void* manager) { memory_.use(manager); }
    const PlatformMemory& memory() const { return memory_; }
    // Stops the reader; the object stays usable (the platform may Init it again).
    void done();
    void setLocale(std::u16string_view locale);

    bool property(long index, tVariant& value);
    // `result` null: called as a procedure. False on failure, with the last error set and reported.
    bool call(long method, tVariant* result, tVariant* params, long count);
    bool defaultOf(long method, long param, tVariant& value) const;

  private:
    // The method's body; a failure throws Failure with its text.
    void run(long method, tVariant* result, tVariant* params, long count);
    // Parameter `index` read by `read`; a missing or mistyped one fails the call naming `typeKey`'s type.
    template <typename Value> Value param(const tVariant* params, long count, long index,
                                          std::optional<Value> (*read)(const tVariant&),
                                          const char* typeKey) const;
    std::string text(const tVariant* params, long count, long index) const;
    bool flag(const tVariant* params, long count, long index) const;
    double number(const tVariant* params, long count, long index) const;
    void give(tVariant* result, const std::string& text) const;
    void fail(const std::string& message);
    void raise(std::u16string_view message, const std::string& data);
    void disconnect();

    long method_ = -1; // the method being called, for the texts of its failures
    Interface<ConnectionTable>* connection_ = nullptr;
    PlatformMemory memory_;
    std::string lastError_;
    std::unique_ptr<Reader> reader_;
    std::shared_ptr<SetUp> setUp_;
    std::string setUpDevice_;
    Lock events_; // ExternalEvent one at a time
};

} // namespace dvka
