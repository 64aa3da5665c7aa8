// A debug run that ends abnormally packs its log folder into the upload
// folder that "Upload.ini" names, with the archive tool of the TRACE
// section of "system.ini".
#ifndef VY_ENGINE_LOG_UPLOAD_H
#define VY_ENGINE_LOG_UPLOAD_H

struct startup_settings;

// Nothing unless debug mode is on and TRACE UPLOAD names a section.
// False when the logs were not packed.
bool upload_logs(const startup_settings& s);

#endif
