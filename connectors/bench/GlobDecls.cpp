// Definitions of the library-wide state declared in GlobDecls.hpp.
#include "GlobDecls.hpp"

#include "GenGenGlob.hpp"

// Constructing it at library load registers the connector with the framework.
GenGenGlob myGlob;

double consumeSuccess = 0.0;
int appResponseTime = 0;
thread_local int random_value = 0;
std::once_flag configured;
std::atomic<int> verbCount{0};
