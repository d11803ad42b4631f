// Export marker of the foundation containers. libVyConnector exports them so connector code can
// use them; a library that compiles its own private copy defines VY_CONTAINERS_PRIVATE and keeps
// its copy hidden.
#ifndef VY_CONTAINER_API_HPP
#define VY_CONTAINER_API_HPP

#if defined(VY_CONTAINERS_PRIVATE)
#define VY_CONTAINER_API
#else
#define VY_CONTAINER_API __attribute__((visibility("default")))
#endif

#endif  // VY_CONTAINER_API_HPP
