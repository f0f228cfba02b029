(* The alpha-reduced STEM: the maximality-based transition system of a
   system, where two configurations are one state when a bijective renaming
   of event names maps one onto the other (term, maximal events and the
   events held at every node). Written as a classic STEM file that QUARVO
   reads back, or as a Graphviz digraph.

   Every state is kept in a canonical form: the event names are renamed
   1, 2, ... in the order of their signatures, the signature of an event
   being the list of the nodes (in pre-order) that hold it with its action.
   Two events with the same signature sit at the same nodes with the same
   action, so exchanging them changes nothing: two configurations are
   alpha-equivalent exactly when their canonical forms are equal. *)

(* The canonical form of a term, built in place, and the renaming applied. *)
let canonical t =
  let sigs = Hashtbl.create 16 in
  let index = ref 0 in
  let rec walk = function
    | None -> ()
    | Some n ->
        let i = !index in
        incr index;
        List.iter
          (fun (e, a) ->
            if e > 0 then
              Hashtbl.replace sigs e ((i, a) :: Option.value ~default:[] (Hashtbl.find_opt sigs e)))
          n.events;
        walk n.left;
        walk n.right
  in
  walk (Some t);
  let ranked = List.sort compare (Hashtbl.fold (fun e s acc -> (List.rev s, e) :: acc) sigs []) in
  let names = Hashtbl.create 16 in
  List.iteri (fun i (_, e) -> Hashtbl.replace names e (i + 1)) ranked;
  let rho e = Option.value ~default:e (Hashtbl.find_opt names e) in
  let rec rename = function
    | None -> ()
    | Some n ->
        n.events <- List.sort compare (List.map (fun (e, a) -> (rho e, a)) n.events);
        rename n.left;
        rename n.right
  in
  rename (Some t);
  rho

type arc = { a_causes : evset; a_action : string; a_event : int; a_target : int }

type stem = {
  st_events : evset array;   (* maximal events of each state *)
  st_arcs : arc list array;  (* transitions of each state, in derivation order *)
}

let alpha_stem (defs : definition list) =
  let sys = make_system defs in
  let index = Hashtbl.create 1024 in
  let terms = ref [||] and count = ref 0 in
  let evs = ref [||] and arcs = ref [||] in
  let add t =
    if !count = Array.length !terms then begin
      let grow a fill = Array.append a (Array.make (max 16 (Array.length a)) fill) in
      terms := grow !terms t;
      evs := grow !evs [];
      arcs := grow !arcs []
    end;
    let n = !count in
    !terms.(n) <- t;
    !evs.(n) <- t.events;
    incr count;
    n
  in
  let state_of t =
    drop_instances (Some t);
    let rho = canonical t in
    let k = key_of t in
    match Hashtbl.find_opt index k with
    | Some n -> (n, rho)
    | None ->
        let n = add t in
        Hashtbl.replace index k n;
        (n, rho)
  in
  ignore (state_of (copy sys.root));
  let current = ref 0 in
  while !current < !count do
    let s = !current in
    let work, trs = transitions sys !terms.(s) in
    let out =
      List.map
        (fun tr ->
          let succ, action = successor work tr in
          let succ = match succ with Some t -> t | None -> mk KStop in
          let target, rho = state_of succ in
          { a_causes = tr.causes; a_action = action; a_event = (if tr.event > 0 then rho tr.event else tr.event); a_target = target })
        trs
    in
    !arcs.(s) <- out;
    incr current
  done;
  { st_events = Array.sub !evs 0 !count; st_arcs = Array.sub !arcs 0 !count }

let stem_size st = (Array.length st.st_events, Array.fold_left (fun n l -> n + List.length l) 0 st.st_arcs)

(* The classic STEM file: one line per state, its arcs newest first. *)
let stem_lines st =
  let n = Array.length st.st_events in
  let record s a =
    ev_text st.st_events.(s) ^ string_of_int s ^ "<" ^ ev_text a.a_causes ^ a.a_action ^ ":" ^ string_of_int a.a_event
    ^ ">" ^ ev_text st.st_events.(a.a_target) ^ string_of_int a.a_target ^ ";"
  in
  let lines = List.init n (fun s -> String.concat "" (List.rev_map (record s) st.st_arcs.(s))) in
  (("BEGIN " ^ string_of_int n ^ ";") :: lines) @ [ "END" ]

let stem_dot_lines st =
  let n = Array.length st.st_events in
  let nodes =
    List.init n (fun s ->
        Printf.sprintf "  S%d [shape=%s, label=%s];" s
          (if s = 0 then "doublecircle" else "circle")
          (dot_quote (Printf.sprintf "S%d\n%s" s (ev_text st.st_events.(s)))))
  in
  let edges =
    List.concat
      (List.init n (fun s ->
           List.map
             (fun a ->
               Printf.sprintf "  S%d -> S%d [label=%s];" s a.a_target
                 (dot_quote (ev_text a.a_causes ^ a.a_action ^ ":" ^ string_of_int a.a_event)))
             st.st_arcs.(s)))
  in
  ("digraph STEM {" :: nodes) @ edges @ [ "}" ]

let quarvo_stem ((defs : definition list), (path : string)) =
  write_lines path ~last_open:true (stem_lines (alpha_stem defs))

let dot_stem ((defs : definition list), (path : string)) = write_lines path (stem_dot_lines (alpha_stem defs))
