vy_java_test(lifecycle bridge.LifecycleMain)
