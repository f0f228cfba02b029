A [ PUT : 0 U I_MID : 1 ] OR E G (PUT : 1)
