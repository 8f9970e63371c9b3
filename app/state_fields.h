// Each value of the controller's state names its fields once, in a static
// member `fields(self, v)` that calls v(name, field) for every field under
// the name the state dump gives it. visitFields calls it on a value, const
// or not, so the dump, the outlet bindings and the tests read the same list.
#pragma once

#include <type_traits>

template <class State, class V>
void visitFields(State& state, V&& v) {
  std::remove_const_t<State>::fields(state, v);
}
