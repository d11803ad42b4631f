vy_java_test(lifecycle bridge.LifecycleMain)
vy_java_test(no_globals bridge.NoGlobalsMain)
