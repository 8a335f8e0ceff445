// WorkBudget: bounds work that a small document could otherwise multiply without
// end, such as walking deeply nested definition scopes once per reference, or
// instancing objects inside objects so that one frame draws billions of times.
//
// The allowance grows with the input read so far: a fixed amount for any document and
// a fixed amount per byte on top, so a document may cost work linear in its size and
// no more. The first spend that goes past the allowance tells the sink, once, with the
// budget's message; every later spend fails too. Nothing throws.
#pragma once

#include <cstdint>

namespace tessaro {

class WorkLimitSink {
  public:
    virtual void workLimitReached(const char* message) = 0;

  protected:
    ~WorkLimitSink() = default;
};

class WorkBudget {
  public:
    WorkBudget(std::uint64_t base, std::uint64_t perInputByte, const char* message)
        : m_base(base), m_perInputByte(perInputByte), m_message(message) {}

    void setSink(WorkLimitSink* sink) { m_sink = sink; }
    void inputRead(std::uint64_t bytes) { m_input += bytes; }

    // Adds `work` to what was spent; false once the total passes the allowance.
    bool spend(std::uint64_t work) {
        if (m_exhausted) return false;
        m_spent = work > kSaturated - m_spent ? kSaturated : m_spent + work;
        if (m_spent <= allowance()) return true;
        m_exhausted = true;
        if (m_sink != nullptr) m_sink->workLimitReached(m_message);
        return false;
    }

    std::uint64_t allowance() const {
        const std::uint64_t perInput = m_perInputByte != 0 && m_input > kSaturated / m_perInputByte
                                           ? kSaturated
                                           : m_input * m_perInputByte;
        return perInput > kSaturated - m_base ? kSaturated : m_base + perInput;
    }
    bool exhausted() const { return m_exhausted; }
    std::uint64_t spent() const { return m_spent; }
    const char* message() const { return m_message; }

  private:
    static constexpr std::uint64_t kSaturated = ~std::uint64_t{0};

    std::uint64_t m_base;
    std::uint64_t m_perInputByte;
    const char* m_message;
    WorkLimitSink* m_sink = nullptr;
    std::uint64_t m_input = 0;
    std::uint64_t m_spent = 0;
    bool m_exhausted = false;
};

// Saturating sum of two counts of work, for counts that multiply along nesting.
inline std::uint64_t addWork(std::uint64_t a, std::uint64_t b) {
    return b > ~std::uint64_t{0} - a ? ~std::uint64_t{0} : a + b;
}

}  // namespace tessaro
