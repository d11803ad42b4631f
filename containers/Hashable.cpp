#include "Hashable.hpp"

Hashable::~Hashable() = default;
