include(VyJniHome)
find_package(Java 17 REQUIRED COMPONENTS Development Runtime)
include(UseJava)
