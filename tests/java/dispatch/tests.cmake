vy_java_test(dispatch dispatch.DispatchMain)
vy_java_test(dispatch_stress dispatch.StressMain)
