# Runs quelto_gen on the committed sources into a scratch folder and fails
# unless it writes exactly the committed tables and reports, so a change of
# the rules cannot land without the regenerated table.
# Called as: cmake -DGEN=<quelto_gen> -DSOURCE=<repository> -DWORK=<scratch> -P quelto_gen_check.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(
    COMMAND ${GEN}
            --phonedata ${SOURCE}/data/sources/phonedata-2025-02.tsv.gz
            --geocoding ${SOURCE}/data/sources/libphonenumber-9.0.35-geocoding-zh-86.txt.gz
            --carrier ${SOURCE}/data/sources/libphonenumber-9.0.35-carrier-zh-86.txt.gz
            --out ${WORK}/quelto.tsv --report ${WORK}/disagreements.tsv
            --areacodes ${WORK}/areacodes.tsv --areacode-report ${WORK}/areacode-disagreements.tsv
            --carrier-report ${WORK}/carrier-check.tsv
    RESULT_VARIABLE result
    OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "quelto_gen failed: ${result}")
endif()
foreach(name quelto.tsv disagreements.tsv areacodes.tsv areacode-disagreements.tsv
             carrier-check.tsv)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${name} ${SOURCE}/data/${name}
        RESULT_VARIABLE different)
    if(different)
        message(FATAL_ERROR "data/${name} is not what quelto_gen writes from data/sources/; "
                            "run: cmake --build <build> --target regenerate_quelto")
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
