#pragma once
// A table of objects addressed by handles that carry a slot and a
// generation: a handle outliving its object is recognised as stale, even
// after the slot holds a newer object. Not locked: each owner guards its
// table with its own mutex.

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::core {

template <class T>
class HandleTable {
public:
  // Handle values are never 0 and never below 2^32, so they cannot meet the
  // small constants that share the handle types (HWND_TOPMOST, resource ids).
  std::uintptr_t Add(std::unique_ptr<T> object) {
    std::uint32_t index;
    if (!m_free.empty()) {
      index = m_free.back();
      m_free.pop_back();
    } else {
      index = static_cast<std::uint32_t>(m_slots.size());
      m_slots.emplace_back();
    }
    Slot& slot = m_slots[index];
    slot.object = std::move(object);
    return Encode(index, slot.generation);
  }

  T* Get(std::uintptr_t handle) const {
    const Slot* slot = Find(handle);
    return slot ? slot->object.get() : nullptr;
  }

  std::unique_ptr<T> Remove(std::uintptr_t handle) {
    Slot* slot = const_cast<Slot*>(Find(handle));
    if (!slot) return nullptr;
    std::unique_ptr<T> object = std::move(slot->object);
    ++slot->generation;
    m_free.push_back(static_cast<std::uint32_t>(slot - m_slots.data()));
    return object;
  }

  template <class F>
  void ForEach(F&& f) const {
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
      if (m_slots[i].object) f(Encode(static_cast<std::uint32_t>(i), m_slots[i].generation), *m_slots[i].object);
    }
  }

private:
  struct Slot {
    std::uint32_t generation = 1;
    std::unique_ptr<T> object;
  };

  static std::uintptr_t Encode(std::uint32_t index, std::uint32_t generation) {
    return (static_cast<std::uintptr_t>(generation) << 32) | (static_cast<std::uintptr_t>(index) + 1);
  }

  const Slot* Find(std::uintptr_t handle) const {
    const std::uint64_t low = handle & 0xFFFFFFFFu;
    if (low == 0 || low > m_slots.size()) return nullptr;
    const Slot& slot = m_slots[low - 1];
    if (!slot.object || slot.generation != static_cast<std::uint32_t>(handle >> 32)) return nullptr;
    return &slot;
  }

  std::vector<Slot> m_slots;
  std::vector<std::uint32_t> m_free;
};

} // namespace platform::core
