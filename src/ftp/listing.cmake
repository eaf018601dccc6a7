add_library(ftp_listing STATIC ftp_listing.cpp ftp_listing.h)
target_include_directories(ftp_listing PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(ftp_listing PUBLIC Qt6::Core)
