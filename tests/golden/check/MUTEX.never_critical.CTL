E G (CS1 : 0 AND CS2 : 0) => A [ TRUE U FALSE ]
