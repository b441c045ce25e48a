# Debian's libgeotiff-dev ships neither a CMake config nor a pkg-config file: look for the
# header (in its own folder, geotiff/) and the library by hand.
find_path(GeoTIFF_INCLUDE_DIR geotiffio.h PATH_SUFFIXES geotiff libgeotiff)
find_library(GeoTIFF_LIBRARY NAMES geotiff libgeotiff)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(GeoTIFF REQUIRED_VARS GeoTIFF_LIBRARY GeoTIFF_INCLUDE_DIR)

if(GeoTIFF_FOUND AND NOT TARGET GeoTIFF::GeoTIFF)
    add_library(GeoTIFF::GeoTIFF UNKNOWN IMPORTED)
    set_target_properties(GeoTIFF::GeoTIFF PROPERTIES
        IMPORTED_LOCATION "${GeoTIFF_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${GeoTIFF_INCLUDE_DIR}")
endif()
mark_as_advanced(GeoTIFF_INCLUDE_DIR GeoTIFF_LIBRARY)
