#pragma once
// Settings bindings: one per stored field of a settings struct, giving its key, the member that
// holds it, its default and the range a value must lie in. A struct lists its bindings once, next
// to the section they are kept in, and loads, saves and checks through that list: each key is
// spelled in one place, so loading and saving cannot drift apart.
//
//   constexpr SettingBinding<Options> kOptionFields[] = {
//       Bind<&Options::m_Delay1_ms>("m_Delay1_ms", 100, ClampTo(0, 1000)),
//       Bind<&Options::m_PathName>("m_PathName", ""),
//       BindElement<&Options::m_OutHz, 0>("m_Out1Hz", 0.0),
//   };
//   LoadSettings(store, "CDlgOptions", kOptionFields, options);
//   SaveSettings(store, "CDlgOptions", kOptionFields, options);
//
// Loading follows the settings store: a missing or damaged value gives the default (the store
// logs a damaged one once, naming its key and the default). A value read back outside its range
// is then replaced as its binding says; CheckSettings applies the same rules to values set in
// code (typed into a window, given on a command line). Members are int32_t (integers), double
// (reals: one that is not a finite number gives the default wherever the binding has a range),
// bool (stored 0/1, any non-zero reads as set) and std::string (texts, with an optional check).
// Window thread only, like the store.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "shell/settings_store.h"

namespace kavu {

// What replaces a value outside its binding's range [lo, hi].
enum class RangeRule : uint8_t {
  kKeep,     // no range: every value is kept
  kDefault,  // the default
  kClamp,    // the nearer end
  kLow,      // the low end
  kOne,      // a check box kept as an integer: any non-zero value reads as 1
  kDefaultBelowClampAbove,  // below lo the default, above hi the high end
};

// A range of integers or reals (an int32_t is exact in a double).
struct SettingRange {
  double lo = 0, hi = 0;
  RangeRule rule = RangeRule::kKeep;
};
constexpr SettingRange DefaultOutside(double lo, double hi) { return {lo, hi, RangeRule::kDefault}; }
constexpr SettingRange ClampTo(double lo, double hi) { return {lo, hi, RangeRule::kClamp}; }
constexpr SettingRange LowOutside(double lo, double hi) { return {lo, hi, RangeRule::kLow}; }
constexpr SettingRange NonZeroIsOne() { return {0, 1, RangeRule::kOne}; }
constexpr SettingRange DefaultBelowClampAbove(double lo, double hi) {
  return {lo, hi, RangeRule::kDefaultBelowClampAbove};
}

// The rule of `range` applied to one value.
int32_t InRange(int32_t v, int32_t def, const SettingRange& range);
double InRange(double v, double def, const SettingRange& range);

// Brings a text into shape after loading or before use (cuts it, trims it, …).
using TextCheck = void (*)(std::string& text);

template <class S>
struct IntSetting {
  int32_t& (*at)(S&);
  int32_t def;
  SettingRange range;
};
template <class S>
struct RealSetting {
  double& (*at)(S&);
  double def;
  SettingRange range;
};
template <class S>
struct BoolSetting {
  bool& (*at)(S&);
  bool def;
};
template <class S>
struct TextSetting {
  std::string& (*at)(S&);
  const char* def;
  TextCheck check;
};

template <class S>
struct SettingBinding {
  const char* key;
  std::variant<IntSetting<S>, RealSetting<S>, BoolSetting<S>, TextSetting<S>> value;
};

// A struct's bindings (S is taken from the struct argument of the functions below).
template <class S>
using SettingFields = std::span<const SettingBinding<std::type_identity_t<S>>>;

namespace settings_detail {

template <class M>
struct MemberOf;
template <class S, class V>
struct MemberOf<V S::*> {
  using Struct = S;
  using Value = V;
};
template <auto M>
using StructOf = typename MemberOf<decltype(M)>::Struct;

template <auto M>
auto& At(StructOf<M>& s) {
  return s.*M;
}
template <auto M, size_t I>
auto& AtElement(StructOf<M>& s) {
  return (s.*M)[I];
}

template <class S, class V, class D, class Extra>
constexpr SettingBinding<S> Make(const char* key, V& (*at)(S&), D def, Extra extra) {
  if constexpr (std::is_same_v<V, int32_t>) {
    return {key, IntSetting<S>{at, static_cast<int32_t>(def), extra}};
  } else if constexpr (std::is_same_v<V, double>) {
    return {key, RealSetting<S>{at, static_cast<double>(def), extra}};
  } else if constexpr (std::is_same_v<V, bool>) {
    static_assert(std::is_same_v<Extra, SettingRange>, "a check box has no range");
    return {key, BoolSetting<S>{at, static_cast<bool>(def)}};
  } else {
    static_assert(std::is_same_v<V, std::string>, "members are int32_t, double, bool or std::string");
    if constexpr (std::is_same_v<Extra, SettingRange>) {
      return {key, TextSetting<S>{at, def, nullptr}};
    } else {
      return {key, TextSetting<S>{at, def, extra}};
    }
  }
}

}  // namespace settings_detail

// The binding of member M (a pointer to a data member) under `key`. `extra` is the range of an
// integer or real, or the TextCheck of a text.
template <auto M, class D, class Extra = SettingRange>
constexpr SettingBinding<settings_detail::StructOf<M>> Bind(const char* key, D def, Extra extra = {}) {
  return settings_detail::Make(key, &settings_detail::At<M>, def, extra);
}
// The binding of element I of array member M.
template <auto M, size_t I, class D, class Extra = SettingRange>
constexpr SettingBinding<settings_detail::StructOf<M>> BindElement(const char* key, D def, Extra extra = {}) {
  return settings_detail::Make(key, &settings_detail::AtElement<M, I>, def, extra);
}

namespace settings_detail {

// The member a binding stands for. The accessors serve loading too, so they take a mutable
// struct; saving and comparing only read through them.
template <class S, class F>
auto& Get(const F& f, const S& s) {
  return f.at(const_cast<S&>(s));
}

// Reads one binding's value into `out`; the default is the binding's, or with `defaults` that
// struct's member.
template <class S>
void Load(SettingsStore& store, std::string_view section, const SettingBinding<S>& b, S& out, const S* defaults) {
  std::visit(
      [&](const auto& f) {
        using F = std::decay_t<decltype(f)>;
        const auto def = defaults ? Get(f, *defaults) : f.def;
        if constexpr (std::is_same_v<F, IntSetting<S>>) {
          f.at(out) = InRange(store.GetProfileInt(section, b.key, def), def, f.range);
        } else if constexpr (std::is_same_v<F, RealSetting<S>>) {
          f.at(out) = InRange(store.GetProfileDouble(section, b.key, def), def, f.range);
        } else if constexpr (std::is_same_v<F, BoolSetting<S>>) {
          f.at(out) = store.GetProfileInt(section, b.key, def ? 1 : 0) != 0;
        } else {
          std::string text = store.GetProfileString(section, b.key, def);
          if (f.check) f.check(text);
          f.at(out) = std::move(text);
        }
      },
      b.value);
}

template <class S>
bool Write(SettingsStore& store, std::string_view section, const SettingBinding<S>& b, const S& s) {
  return std::visit(
      [&](const auto& f) {
        using F = std::decay_t<decltype(f)>;
        if constexpr (std::is_same_v<F, IntSetting<S>>) {
          return store.WriteProfileInt(section, b.key, Get(f, s));
        } else if constexpr (std::is_same_v<F, RealSetting<S>>) {
          return store.WriteProfileDouble(section, b.key, Get(f, s));
        } else if constexpr (std::is_same_v<F, BoolSetting<S>>) {
          return store.WriteProfileInt(section, b.key, Get(f, s) ? 1 : 0);
        } else {
          return store.WriteProfileString(section, b.key, Get(f, s));
        }
      },
      b.value);
}

}  // namespace settings_detail

// Reads every binding of `fields` into `out`. The defaults are the bindings', or with `defaults`
// that struct's members (a default known only at run time).
template <class S>
void LoadSettings(SettingsStore& store, std::string_view section, SettingFields<S> fields, S& out,
                  const S* defaults = nullptr) {
  for (const auto& b : fields) settings_detail::Load(store, section, b, out, defaults);
}

// Writes every binding of `fields`, or with `before` only those whose member differs from it;
// false when a write failed (the others are still written).
template <class S>
bool SaveSettings(SettingsStore& store, std::string_view section, SettingFields<S> fields, const S& in,
                  const S* before = nullptr) {
  bool ok = true;
  for (const auto& b : fields) {
    const bool changed = !before || std::visit(
        [&](const auto& f) { return !(settings_detail::Get(f, in) == settings_detail::Get(f, *before)); }, b.value);
    if (changed) ok &= settings_detail::Write(store, section, b, in);
  }
  return ok;
}

// Writes the binding of member M (not an array) alone; false when the write failed or M has no
// binding in `fields`.
template <auto M, class S>
bool SaveMember(SettingsStore& store, std::string_view section, SettingFields<S> fields, const S& in) {
  for (const auto& b : fields) {
    const void* bound = std::visit([&](const auto& f) -> const void* { return &settings_detail::Get(f, in); }, b.value);
    if (bound == &(in.*M)) return settings_detail::Write(store, section, b, in);
  }
  return false;
}

// Applies every binding's range rule and text check to `s`: what loading applies, for values set
// in code.
template <class S>
void CheckSettings(SettingFields<S> fields, S& s) {
  for (const auto& b : fields) {
    std::visit(
        [&](const auto& f) {
          using F = std::decay_t<decltype(f)>;
          if constexpr (std::is_same_v<F, IntSetting<S>> || std::is_same_v<F, RealSetting<S>>) {
            f.at(s) = InRange(f.at(s), f.def, f.range);
          } else if constexpr (std::is_same_v<F, TextSetting<S>>) {
            if (f.check) f.check(f.at(s));
          }
        },
        b.value);
  }
}

}  // namespace kavu
